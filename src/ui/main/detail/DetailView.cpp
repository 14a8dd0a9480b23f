#include "ui/main/detail/DetailView.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/RecorderEngine.h"
#include "ui/UiContext.h"
#include "ui/main/DetailColumn.h"
#include "ui/main/Divider.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"
#include "ui/main/detail/ActionItemView.h"
#include "ui/main/detail/DetailStyle.h"
#include "ui/main/detail/DetailViewModel.h"
#include "ui/main/detail/TaskEditor.h"
#include "ui/main/detail/TranscriptView.h"

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// `content` in the 820 px column, with padding above and below.
QWidget* columned(QWidget* content, int top, int bottom) {
    auto* holder = new QWidget;
    auto* box = new QVBoxLayout(holder);
    box->setContentsMargins(0, top, 0, bottom);
    box->setSpacing(0);
    box->addWidget(new DetailColumn(content));
    return holder;
}

QWidget* leading(QWidget* w) {
    auto* row = new QWidget;
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(w);
    box->addStretch(1);
    return row;
}

QWidget* stacked(int spacing, std::initializer_list<QWidget*> children = {}) {
    auto* w = new QWidget;
    auto* box = new QVBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(spacing);
    for (QWidget* c : children) box->addWidget(c);
    return w;
}

void add(QWidget* stack, QWidget* child) {
    stack->layout()->addWidget(child);
}

QLabel* paddedTitle(const QString& text) {
    QLabel* label = DetailStyle::sectionTitle(text);
    label->setContentsMargins(0, 18, 0, 0);
    return label;
}

QLabel* glyphLabel(const QString& name, int side, const QColor& color, int top = 0) {
    auto* label = new QLabel;
    label->setPixmap(DetailStyle::glyph(name, side, color, label->devicePixelRatioF()));
    label->setContentsMargins(0, top, 0, 0);
    label->setAlignment(Qt::AlignTop);
    return label;
}

// A marker and wrapped text, top-aligned, 12 px apart.
QWidget* markedRow(QWidget* marker, const QString& text) {
    auto* row = new QWidget;
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(12);
    box->addWidget(marker, 0, Qt::AlignTop);
    box->addWidget(DetailStyle::body(text, 6), 1);
    return row;
}

QWidget* bulletRow(const QString& text) {
    QLabel* bullet = DetailStyle::caption(QStringLiteral("•"), 16, QColor());
    bullet->setWordWrap(false);
    bullet->setPalette(QPalette());
    bullet->setForegroundRole(QPalette::PlaceholderText);
    return markedRow(bullet, text);
}

// The done count on a capsule: secondary text on a faint fill of the text colour, so that it
// reads on light and dark windows alike. The colours are taken from the palette when painted.
class CountCapsule : public QLabel {
public:
    explicit CountCapsule(const QString& text) : QLabel(text) {
        setTextFormat(Qt::PlainText);
        setFont(DetailStyle::font(14, QFont::Medium));
        setContentsMargins(10, 4, 10, 4);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06f);
        const QRectF box(rect());
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
        p.setPen(DetailStyle::secondary(this));
        p.setFont(font());
        p.drawText(contentsRect(), Qt::AlignCenter, text());
    }
};

}  // namespace

DetailView::DetailView(UiContext& ctx, MainViewModel& model, std::string recordID, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      model_(model),
      recordID_(recordID),
      vm_(new DetailViewModel(ctx.store, ctx.library, ctx.defaults, std::move(recordID), {}, this)),
      pages_(new QStackedWidget) {
    // Header: the record's facts at the leading edge, its menus at the trailing one.
    auto* header = new QWidget;
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->setSpacing(16);
    auto* facts = new QVBoxLayout;
    facts->setSpacing(8);
    title_ = DetailStyle::caption(QString(), 30, palette().color(QPalette::WindowText));
    title_->setFont(DetailStyle::font(30, QFont::Bold));
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    headerLine_ = DetailStyle::caption(QString(), 15, DetailStyle::secondary(this));
    headerLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dateLine_ = DetailStyle::caption(QString(), 13, DetailStyle::tertiary(this));
    facts->addWidget(title_);
    facts->addWidget(headerLine_);
    facts->addWidget(dateLine_);
    headerRow->addLayout(facts, 1);
    headerActions_ = new QHBoxLayout;
    headerActions_->setSpacing(8);
    headerRow->addLayout(headerActions_);
    headerRow->setAlignment(headerActions_, Qt::AlignTop);

    // The segmented tab picker, at most 360 px wide.
    auto* segments = new QWidget;
    segments->setObjectName(QStringLiteral("detailTabs"));
    segments->setMaximumWidth(360);
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton;
        b->setCheckable(true);
        b->setFont(DetailStyle::font(14));
        b->setObjectName(i == 0   ? QStringLiteral("first")
                         : i == 2 ? QStringLiteral("last")
                                  : QStringLiteral("middle"));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setMinimumHeight(30);
        group->addButton(b, i);
        segmentRow->addWidget(b);
        tabs_.push_back(b);
    }
    segments->setStyleSheet(QStringLiteral(
        "QPushButton { border: 1px solid rgba(128,128,128,0.35); border-left: none;"
        " background: rgba(128,128,128,0.10); padding: 4px 10px; }"
        "QPushButton:checked { background: palette(base); font-weight: 600; }"
        "QPushButton#first { border-left: 1px solid rgba(128,128,128,0.35);"
        " border-top-left-radius: 7px; border-bottom-left-radius: 7px; }"
        "QPushButton#last { border-top-right-radius: 7px; border-bottom-right-radius: 7px; }"));
    connect(group, &QButtonGroup::idClicked, vm_, &DetailViewModel::setTab);

    status_ = DetailStyle::caption(QString(), 13, DetailStyle::secondary(this));
    auto* statusRow = columned(status_, 12, 0);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(columned(header, 30, 18));
    stack->addWidget(columned(leading(segments), 0, 0));
    stack->addWidget(statusRow);
    stack->addWidget(columned(divider(), 16, 0));
    stack->addWidget(pages_, 1);

    for (int i = 0; i < 3; ++i) {
        auto* scroll = new QScrollArea;
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // The indicator is always shown, which also keeps the page's width from changing.
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        pages_->addWidget(scroll);
        scrolls_.push_back(scroll);
    }
    stale_.assign(3, true);

    connect(vm_, &DetailViewModel::contentChanged, this, &DetailView::followContent);
    connect(vm_, &DetailViewModel::tabChanged, this, &DetailView::followTab);
    connect(vm_, &DetailViewModel::shareStatusChanged, this, &DetailView::followStatus);
    connect(vm_, &DetailViewModel::editorChanged, this, &DetailView::followEditor);
    connect(vm_, &DetailViewModel::dateLineChanged, this, [this] {
        if (vm_->record()) dateLine_->setText(vm_->dateLine());
    });
    connect(vm_, &DetailViewModel::agentSectionChanged, this, &DetailView::rebuildActionsPage);
    connect(&ctx_.engine, &RecorderEngine::agentRunsChanged, this, &DetailView::rebuildActionsPage);

    followContent();
    followTab();
    followStatus();
}

DetailView::~DetailView() = default;

int DetailView::pageIndex(int tab) {
    return tab == DetailViewModel::actionsTab || tab == DetailViewModel::transcriptTab
               ? tab
               : DetailViewModel::summaryTab;
}

QAbstractButton* DetailView::tabButton(int tab) const {
    return tab >= 0 && tab < static_cast<int>(tabs_.size()) ? tabs_[tab] : nullptr;
}

QScrollArea* DetailView::scrollArea(int tab) const {
    return scrolls_[pageIndex(tab)];
}

QWidget* DetailView::page(int tab) {
    const int index = pageIndex(tab);
    if (stale_[index]) buildPage(index);
    return scrolls_[index]->widget();
}

std::vector<ActionItemView*> DetailView::actionItems(int tab) {
    std::vector<ActionItemView*> out;
    if (QWidget* p = page(tab))
        for (ActionItemView* v : p->findChildren<ActionItemView*>()) out.push_back(v);
    return out;
}

TranscriptView* DetailView::transcript() {
    QWidget* p = page(DetailViewModel::transcriptTab);
    return p ? p->findChild<TranscriptView*>() : nullptr;
}

void DetailView::setAgentSectionBuilder(AgentSectionBuilder build) {
    agentSection_ = std::move(build);
    rebuildActionsPage();
}

void DetailView::rebuildActionsPage() {
    stale_[DetailViewModel::actionsTab] = true;
    if (pages_->currentIndex() == DetailViewModel::actionsTab)
        buildPage(DetailViewModel::actionsTab);
}

void DetailView::rebuildPages() {
    stale_.assign(3, true);
    buildPage(pages_->currentIndex());
}

void DetailView::followContent() {
    if (!vm_->record()) return;  // the main window replaces this view
    title_->setText(vm_->title());
    const auto line = vm_->headerLine();
    headerLine_->setText(line.value_or(QString()));
    headerLine_->setVisible(line.has_value());
    dateLine_->setText(vm_->dateLine());
    const QStringList labels = vm_->tabLabels();
    for (int i = 0; i < 3; ++i) tabs_[i]->setText(labels[i]);
    rebuildPages();
}

void DetailView::followTab() {
    const int index = pageIndex(vm_->tab());
    tabs_[index]->setChecked(true);
    if (stale_[index]) buildPage(index);
    pages_->setCurrentIndex(index);
}

void DetailView::followStatus() {
    const auto& status = vm_->shareStatus();
    status_->setText(status.value_or(QString()));
    status_->parentWidget()->parentWidget()->setVisible(status.has_value());
}

void DetailView::followEditor() {
    if (vm_->editingTaskIndex()) {
        if (!editor_) editor_ = new TaskEditor(*vm_, this);
        if (!editor_->isVisible()) {
            editor_->load();
            editor_->open();
        }
    } else if (editor_ && editor_->isVisible()) {
        editor_->hide();
    }
}

void DetailView::buildPage(int index) {
    if (!vm_->record()) return;
    stale_[index] = false;
    QScrollArea* scroll = scrolls_[index];
    const int offset = scroll->verticalScrollBar()->value();
    QWidget* content = index == DetailViewModel::actionsTab      ? actionsPage()
                       : index == DetailViewModel::transcriptTab ? transcriptPage()
                                                                 : summaryPage();
    // The old page may be the sender of the change (a ticked item): delete it later.
    if (QWidget* old = scroll->takeWidget()) old->deleteLater();
    // Sized for the page before it goes in, so that it is laid out once, at its own width.
    QWidget* holder = columned(content, 30, 30);
    const int width =
        std::max(1, pages_->width() - scroll->verticalScrollBar()->sizeHint().width());
    holder->resize(width, holder->heightForWidth(width));
    scroll->setWidget(holder);
    scroll->verticalScrollBar()->setValue(offset);
    if (offset > 0) {
        QTimer::singleShot(0, scroll, [scroll = QPointer<QScrollArea>(scroll), offset] {
            if (scroll) scroll->verticalScrollBar()->setValue(offset);
        });
    }
}

ActionItemView* DetailView::itemView(std::size_t index, bool card) {
    const auto look = vm_->itemLook(index);
    auto* view = new ActionItemView(card ? ActionItemView::Style::card : ActionItemView::Style::row,
                                    look.value_or(DetailViewModel::ItemLook{}));
    connect(view, &ActionItemView::toggleRequested, vm_, [this, index] { vm_->toggleTask(index); });
    connect(view, &ActionItemView::editRequested, vm_,
            [this, index] { vm_->beginEditingTask(index); });
    connect(view, &ActionItemView::priorityRequested, vm_,
            [this, index](const QString& p) { vm_->setPriority(index, p); });
    return view;
}

QWidget* DetailView::summaryPage() {
    const MinutesResult& r = vm_->record()->result;
    QWidget* page = stacked(24);
    if (!r.todos.empty()) {
        add(page, DetailStyle::sectionTitle(QStringLiteral("アクションアイテム")));
        QWidget* rows = stacked(10);
        for (std::size_t i = 0; i < r.todos.size(); ++i) add(rows, itemView(i, false));
        add(page, rows);
    }
    if (!r.sections || r.sections->empty()) {
        add(page, paddedTitle(QStringLiteral("要約")));
        add(page, DetailStyle::body(qs(r.summary), 7));
        if (!r.keyPoints.empty()) {
            add(page, paddedTitle(QStringLiteral("重要ポイント")));
            QWidget* rows = stacked(10);
            for (const std::string& point : r.keyPoints) add(rows, bulletRow(qs(point)));
            add(page, rows);
        }
        if (!r.decisions.empty()) {
            add(page, paddedTitle(QStringLiteral("決定事項")));
            QWidget* rows = stacked(10);
            for (const std::string& decision : r.decisions) {
                add(rows, markedRow(glyphLabel(QStringLiteral("checkmark.circle.fill"), 18,
                                               DetailStyle::green(), 3),
                                    qs(decision)));
            }
            add(page, rows);
        }
    } else {
        // The service's own sections take the place of summary, key points and decisions.
        for (const MinutesSection& section : *r.sections) {
            add(page, paddedTitle(qs(section.heading)));
            QWidget* rows = stacked(10);
            for (const MinutesPoint& point : section.points) add(rows, bulletRow(qs(point.text)));
            add(page, rows);
        }
    }
    static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
    return page;
}

QWidget* DetailView::actionsPage() {
    const MinutesResult& r = vm_->record()->result;
    QWidget* page = stacked(24);
    if (r.todos.empty()) {
        add(page,
            stacked(8,
                    {DetailStyle::sectionTitle(QStringLiteral("アクションアイテム")),
                     DetailStyle::caption(
                         QStringLiteral("この会議ではアクションアイテムは検出されませんでした。"),
                         16, DetailStyle::secondary(this))}));
        static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
        return page;
    }
    const auto mine = vm_->userItems();
    if (!mine.empty()) {
        auto* header = new QWidget;
        auto* row = new QHBoxLayout(header);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(DetailStyle::sectionTitle(QStringLiteral("自分がやること")));
        row->addStretch(1);
        auto* count = new CountCapsule(QStringLiteral("%1 / %2")
                                           .arg(static_cast<qulonglong>(vm_->userDoneCount()))
                                           .arg(static_cast<qulonglong>(mine.size())));
        count->setObjectName(QStringLiteral("doneCount"));
        row->addWidget(count, 0, Qt::AlignVCenter);
        QWidget* cards = stacked(8);
        for (std::size_t i : mine) add(cards, itemView(i, true));
        add(page, stacked(12, {header, cards}));
    }
    const auto ai = vm_->aiItems();
    if (vm_->showsAgentSection()) {
        QWidget* block = stacked(12);
        if (!ai.empty()) {
            auto* header = new QWidget;
            auto* row = new QHBoxLayout(header);
            row->setContentsMargins(0, 0, 0, 0);
            row->setSpacing(8);
            row->addWidget(glyphLabel(QStringLiteral("sparkles"), 22, motion::accent(this)), 0,
                           Qt::AlignVCenter);
            row->addWidget(DetailStyle::sectionTitle(QStringLiteral("AIに任せる")), 1);
            add(block, header);
        }
        // The agent's cards and run state, built by whoever provides that block.
        QWidget* section = agentSection_ ? agentSection_(ai) : nullptr;
        if (!section) section = new QWidget;
        section->setObjectName(QStringLiteral("agentSection"));
        add(block, section);
        add(page, block);
    }
    static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
    return page;
}

QWidget* DetailView::transcriptPage() {
    return new TranscriptView(vm_->record()->result.transcript);
}
