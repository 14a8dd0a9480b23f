#include "ui/main/MainView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "desktop/UserText.h"
#include "engine/RecorderEngine.h"
#include "platform/WindowButtonLayoutReader.h"
#include "ui/UiContext.h"
#include "ui/main/Divider.h"
#include "ui/main/EmptyStateView.h"
#include "ui/main/HeaderModel.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"
#include "ui/main/WindowChromeConfigurator.h"
#include "ui/main/WindowStrip.h"
#include "ui/main/detail/DetailActions.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/dialogs/DialogHost.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/SidebarSymbols.h"
#include "ui/main/sidebar/SidebarView.h"

MainView::MainView(UiContext& ctx, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      buttonLayout_(new WindowButtonLayoutReader(QDBusConnection::sessionBus(), this)),
      strip_(new WindowStrip(buttonLayout_->layout())),
      model_(new MainViewModel(ctx.store, ctx.library, ctx.defaults, ctx.dialogs, {}, this)),
      header_(new HeaderModel(
          ctx.engine, ctx.defaults, ctx.dialogs,
          [&engine = ctx.engine](const std::filesystem::path& file, const std::string& name) {
              engine.process(file, name);
          },
          this)),
      headerView_(new HeaderView(*header_)),
      sidebar_(new SidebarView(ctx, *model_)),
      detail_(new QStackedWidget),
      emptyState_(new EmptyStateView),
      dialogHost_(new DialogHost(ctx, *model_, this)),
      errorLine_(new QWidget),
      errorText_(UserText::plainLabel()) {
    QFont f = font();
    f.setFamily(QStringLiteral("Noto Sans CJK JP"));  // Han glyphs in their Japanese shapes
    setFont(f);
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);

    sidebar_->setFixedWidth(kSidebarWidth);

    // Detail column: header, divider, the shown record or the placeholder.
    auto* detailColumn = new QWidget;
    auto* detailStack = new QVBoxLayout(detailColumn);
    detailStack->setContentsMargins(0, 0, 0, 0);
    detailStack->setSpacing(0);
    detailStack->addWidget(headerView_);
    detailStack->addWidget(divider(Qt::Horizontal));
    detail_->addWidget(emptyState_);
    detailStack->addWidget(detail_, 1);

    auto* columns = new QHBoxLayout;
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(sidebar_);
    columns->addWidget(divider(Qt::Vertical));
    columns->addWidget(detailColumn, 1);

    // A change the library could not save looks applied until the next start: say so in one
    // line across the window's foot, until a later change saves.
    auto* errorRow = new QHBoxLayout(errorLine_);
    errorRow->setContentsMargins(12, 5, 12, 5);
    errorRow->setSpacing(6);
    auto* warning = new QLabel;
    warning->setPixmap(
        SidebarSymbols::icon(QStringLiteral("exclamationmark.triangle"), QColor(196, 43, 28))
            .pixmap(14, 14));
    errorRow->addWidget(warning);
    errorRow->addWidget(errorText_, 1);
    errorText_->setTextFormat(Qt::PlainText);
    errorText_->setMinimumWidth(1);
    QPalette alarm = errorLine_->palette();
    alarm.setColor(QPalette::Window, QColor(253, 236, 234));
    alarm.setColor(QPalette::WindowText, QColor(160, 30, 20));
    errorLine_->setPalette(alarm);
    errorLine_->setAutoFillBackground(true);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->addWidget(strip_);
    window->addWidget(divider(Qt::Horizontal));
    window->addLayout(columns, 1);
    window->addWidget(errorLine_);

    connect(model_, &MainViewModel::listChanged, this, &MainView::followSelection);
    connect(model_, &MainViewModel::selectedIDChanged, this, &MainView::followSelection);
    connect(headerView_, &HeaderView::askAcrossRequested, this,
            [this] { model_->setShowAskAll(true); });
    connect(headerView_, &HeaderView::settingsRequested, this, &MainView::settingsRequested);
    connect(&ctx_.engine, &RecorderControl::phaseChanged, this, &MainView::followRecorder);
    connect(&ctx_.engine, &RecorderControl::elapsedChanged, this, &MainView::followRecorder);
    connect(&ctx_.engine, &RecorderEngine::lastErrorChanged, this, &MainView::followRecorder);

    connect(model_, &MainViewModel::libraryErrorChanged, this, &MainView::followLibraryError);

    connect(buttonLayout_, &WindowButtonLayoutReader::layoutChanged, this,
            [this] { strip_->setButtonLayout(buttonLayout_->layout()); });

    followSelection();
    followRecorder();
    followLibraryError();

    chrome_ = new WindowChromeConfigurator(this);
}

MainView::~MainView() = default;

RecordListView* MainView::recordList() const {
    return sidebar_->recordList();
}

bool MainView::showsRecord() const {
    return detailView_ && detail_->currentWidget() == detailView_;
}

void MainView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) model_->appeared();
}

// One detail view per shown record: another record gets a fresh view that fades in as it rises
// into place; the placeholder only fades in.
void MainView::followSelection() {
    const MinutesRecord* shown = model_->selected();
    if (shown && detailView_ && detailView_->recordID() == shown->id) return;
    if (!shown && !detailView_) return;
    if (detailView_) {
        detail_->removeWidget(detailView_);
        detailView_->deleteLater();
        detailView_ = nullptr;
    }
    QWidget* page = emptyState_;
    if (shown) {
        detailView_ = new DetailView(ctx_, *model_, shown->id);
        new DetailActions(*detailView_, [this] { emit settingsRequested(); });
        detail_->addWidget(detailView_);
        page = detailView_;
    }
    detail_->setCurrentWidget(page);
    motion::fadeIn(page, 220, QEasingCurve::OutQuad, shown ? kDetailRise : 0);
}

void MainView::followRecorder() {
    emptyState_->setContent(EmptyStateContent::forState(ctx_.engine.phase(), ctx_.engine.elapsed(),
                                                        ctx_.engine.lastError()));
}

void MainView::followLibraryError() {
    const QString error = model_->libraryError();
    // One line: a long message is cut, and shown whole on hover.
    const QString oneLine = QString(error).replace(QLatin1Char('\n'), QLatin1Char(' '));
    errorText_->setText(errorText_->fontMetrics().elidedText(oneLine, Qt::ElideRight, 2000));
    errorText_->setToolTip(error);
    errorLine_->setVisible(!error.isEmpty());
}
