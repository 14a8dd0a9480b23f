#include "ui/main/MainView.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPalette>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "engine/RecorderEngine.h"
#include "ui/UiContext.h"
#include "ui/main/EmptyStateView.h"
#include "ui/main/HeaderModel.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"

namespace {

constexpr int kIdRole = Qt::UserRole;

QWidget* divider(Qt::Orientation orientation) {
    auto* line = new QWidget;
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    QColor c = pal.color(QPalette::WindowText);
    c.setAlphaF(0.12f);
    pal.setColor(QPalette::Window, c);
    line->setPalette(pal);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    return line;
}

}  // namespace

MainView::MainView(UiContext& ctx, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      model_(new MainViewModel(ctx.store, ctx.library, ctx.defaults, ctx.dialogs, {}, this)),
      header_(new HeaderModel(
          ctx.engine, ctx.defaults, ctx.dialogs,
          [&engine = ctx.engine](const std::filesystem::path& file, const std::string& name) {
              engine.process(file, name);
          },
          this)),
      headerView_(new HeaderView(*header_)),
      list_(new QListWidget),
      detail_(new QStackedWidget),
      emptyState_(new EmptyStateView),
      recordPane_(new QWidget) {
    QFont f = font();
    f.setFamily(QStringLiteral("Noto Sans CJK JP"));  // Han glyphs in their Japanese shapes
    setFont(f);
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);

    // Sidebar column: for now the shown records by title.
    auto* sidebar = new QWidget;
    sidebar->setFixedWidth(kSidebarWidth);
    sidebar->setAutoFillBackground(true);
    QPalette white = sidebar->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    sidebar->setPalette(white);
    auto* sideColumn = new QVBoxLayout(sidebar);
    sideColumn->setContentsMargins(8, 8, 8, 8);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    sideColumn->addWidget(list_);

    // Detail column: header, divider, the shown record or the placeholder.
    auto* detailColumn = new QWidget;
    auto* detailStack = new QVBoxLayout(detailColumn);
    detailStack->setContentsMargins(0, 0, 0, 0);
    detailStack->setSpacing(0);
    detailStack->addWidget(headerView_);
    detailStack->addWidget(divider(Qt::Horizontal));
    detail_->addWidget(emptyState_);
    detail_->addWidget(recordPane_);
    detailStack->addWidget(detail_, 1);

    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(sidebar);
    columns->addWidget(divider(Qt::Vertical));
    columns->addWidget(detailColumn, 1);

    connect(model_, &MainViewModel::listChanged, this, &MainView::rebuildList);
    connect(model_, &MainViewModel::selectedIDChanged, this, &MainView::followSelection);
    // Selection, not the current item: a list that gains focus makes its first row current
    // without the user choosing it.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = list_->selectedItems();
        if (!chosen.isEmpty())
            model_->setSelectedID(chosen.front()->data(kIdRole).toString().toStdString());
    });
    connect(headerView_, &HeaderView::askAcrossRequested, this,
            [this] { model_->setShowAskAll(true); });
    connect(headerView_, &HeaderView::settingsRequested, this, &MainView::settingsRequested);
    connect(&ctx_.engine, &RecorderControl::phaseChanged, this, &MainView::followRecorder);
    connect(&ctx_.engine, &RecorderControl::elapsedChanged, this, &MainView::followRecorder);
    connect(&ctx_.engine, &RecorderEngine::lastErrorChanged, this, &MainView::followRecorder);

    rebuildList();
    followRecorder();
}

MainView::~MainView() = default;

bool MainView::showsRecord() const {
    return detail_->currentWidget() == recordPane_;
}

void MainView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) model_->appeared();
}

void MainView::rebuildList() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const MinutesRecord* r : model_->filtered()) {
        auto* item = new QListWidgetItem(QString::fromStdString(r->result.title), list_);
        item->setData(kIdRole, QString::fromStdString(r->id));
    }
    followSelection();
}

void MainView::followSelection() {
    const MinutesRecord* shown = model_->selected();
    QWidget* page = shown ? recordPane_ : static_cast<QWidget*>(emptyState_);
    if (page != detail_->currentWidget() || (shown && shown->id != shownID_)) {
        detail_->setCurrentWidget(page);
        motion::fadeIn(page, 220, QEasingCurve::OutQuad);
    }
    shownID_ = shown ? shown->id : std::string();
    const QSignalBlocker quiet(list_);
    list_->clearSelection();
    if (!shown) return;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(kIdRole).toString().toStdString() == shown->id)
            list_->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
}

void MainView::followRecorder() {
    emptyState_->setContent(EmptyStateContent::forState(ctx_.engine.phase(), ctx_.engine.elapsed(),
                                                        ctx_.engine.lastError()));
}
