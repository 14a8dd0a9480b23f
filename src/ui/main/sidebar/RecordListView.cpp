#include "ui/main/sidebar/RecordListView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include "desktop/PanelStyle.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"
#include "ui/main/sidebar/RecordColorChoice.h"
#include "ui/main/sidebar/RecordListModel.h"
#include "ui/main/sidebar/RecordRowDelegate.h"
#include "ui/main/sidebar/RowMotion.h"
#include "ui/main/sidebar/SwatchImages.h"

RecordListView::RecordListView(MainViewModel& model, RecordListModel& rows, QWidget* parent)
    : QListView(parent),
      model_(model),
      rows_(rows),
      delegate_(new RecordRowDelegate(this)),
      pulse_(motion::loop(viewport(), 1700)),
      motion_(new RowMotion(viewport())),
      marks_(model.bulkSelection()) {
    setModel(&rows_);
    setItemDelegate(delegate_);
    delegate_->setMotion(motion_);
    delegate_->setPulse([this] { return motion::thereAndBack(motion::progress(pulse_)); });
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(true);  // one height for all rows: no per-row measuring on a refilter
    setSpacing(0);
    setViewportMargins(8, 4, 8, 4);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);

    // A change of the same list (records, colours, favourites) keeps where the user scrolled
    // it; another list, from a filter the user changed, starts at its top.
    connect(&model_, &MainViewModel::filterEdited, this, [this] { restart_ = true; });
    connect(&rows_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        scrollKept_ = restart_ ? 0 : verticalScrollBar()->value();
        restart_ = false;
    });
    connect(&model_, &MainViewModel::bulkSelectionChanged, this, &RecordListView::followMarks);
    connect(&rows_, &QAbstractItemModel::modelReset, this, [this] {
        // The shown record's row is selected again without scrolling to it.
        const bool scrolls = hasAutoScroll();
        setAutoScroll(false);
        followModel();
        setAutoScroll(scrolls);
        if (scrollKept_ > 0) doItemsLayout();  // the new rows' height, to scroll within
        verticalScrollBar()->setValue(scrollKept_);
    });
    connect(&model_, &MainViewModel::selectedIDChanged, this, &RecordListView::followModel);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecordListView::chosen);
    connect(&rows_, &QAbstractItemModel::modelReset, this, &RecordListView::followAgents);
    connect(&rows_, &QAbstractItemModel::dataChanged, this, &RecordListView::followAgents);
    PanelStyle::onReduceMotionChanged(this, [this] {
        followAgents();
        viewport()->update();
    });
    followModel();
}

std::string RecordListView::idAt(const QPoint& viewportPos) const {
    const QModelIndex i = indexAt(viewportPos);
    return i.isValid() ? rows_.idAt(i.row()) : std::string();
}

QRect RecordListView::checkRectOf(int row) const {
    return RecordRowDelegate::checkRect(visualRect(rows_.index(row)));
}

// The row of the shown record is selected; a record the filters hide selects nothing and is
// not forgotten.
void RecordListView::followModel() {
    following_ = true;
    const auto& id = model_.selectedID();
    const int row = id ? rows_.rowOf(*id) : -1;
    if (row < 0) {
        selectionModel()->clearSelection();
    } else {
        const QModelIndex i = rows_.index(row);
        selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
    }
    following_ = false;
}

void RecordListView::chosen() {
    if (following_) return;
    const QModelIndexList picked = selectionModel()->selectedIndexes();
    if (picked.isEmpty()) return;  // only a row chooses; nothing unchooses
    model_.setSelectedID(rows_.idAt(picked.front().row()));
}

void RecordListView::followAgents() {
    const bool run = rows_.anyAgentRunning() && !PanelStyle::reduceMotion();
    if (run && pulse_->state() != QAbstractAnimation::Running) pulse_->start();
    if (!run && pulse_->state() == QAbstractAnimation::Running) pulse_->stop();
}

void RecordListView::followMarks() {
    const auto& now = model_.bulkSelection();
    std::vector<std::string> changed;
    std::set_symmetric_difference(marks_.begin(), marks_.end(), now.begin(), now.end(),
                                  std::back_inserter(changed));
    // A whole list marked at once springs no row: there would be thousands.
    if (changed.size() <= 64)
        for (const std::string& id : changed) motion_->checkChanged(id, now.count(id) > 0);
    marks_ = now;
}

void RecordListView::leaveEvent(QEvent* e) {
    motion_->setHovered({});
    QListView::leaveEvent(e);
}

// An empty list says why it is empty, in the middle of the pane.
void RecordListView::paintEvent(QPaintEvent* e) {
    QListView::paintEvent(e);
    const QString note = rows_.emptyNote();
    if (note.isEmpty()) return;
    QPainter p(viewport());
    p.setFont(PanelStyle::font(13));
    p.setPen(PanelStyle::secondary(this));
    p.drawText(viewport()->rect().adjusted(12, 0, -12, 0), Qt::AlignCenter | Qt::TextWordWrap,
               note);
}

void RecordListView::mousePressEvent(QMouseEvent* e) {
    swallow_ = false;
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        e->accept();  // the menu acts on the row; the selection stays where it is
        return;
    }
    const QModelIndex i = indexAt(pos);
    if (e->button() == Qt::LeftButton && i.isValid() && checkRectOf(i.row()).contains(pos)) {
        swallow_ = true;
        e->accept();
        emit checkToggled(rows_.idAt(i.row()));
        return;
    }
    QListView::mousePressEvent(e);
}

void RecordListView::mouseReleaseEvent(QMouseEvent* e) {
    if (swallow_ || e->button() == Qt::RightButton) {
        e->accept();
        return;
    }
    QListView::mouseReleaseEvent(e);
}

void RecordListView::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    if (i.isValid() && checkRectOf(i.row()).contains(e->position().toPoint())) {
        // The second click of a quick pair toggles again, as two single clicks would.
        swallow_ = true;
        e->accept();
        emit checkToggled(rows_.idAt(i.row()));
        return;
    }
    QListView::mouseDoubleClickEvent(e);
}

void RecordListView::mouseMoveEvent(QMouseEvent* e) {
    motion_->setHovered(idAt(e->position().toPoint()));
    if (swallow_) {
        e->accept();  // no drag-selection from a check circle
        return;
    }
    QListView::mouseMoveEvent(e);
}

void RecordListView::contextMenuEvent(QContextMenuEvent* e) {
    const std::string id = idAt(e->pos());  // handed on by the viewport, in its coordinates
    if (id.empty()) return;
    emit menuRequested(id, e->globalPos());
}
