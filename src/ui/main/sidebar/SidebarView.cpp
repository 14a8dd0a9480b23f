#include "ui/main/sidebar/SidebarView.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPalette>
#include <QShortcut>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "desktop/PanelStyle.h"
#include "engine/RecorderEngine.h"
#include "ui/UiContext.h"
#include "ui/main/Divider.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/sidebar/BulkBar.h"
#include "ui/main/sidebar/FilterPopup.h"
#include "ui/main/sidebar/RecordListModel.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/SidebarButton.h"
#include "ui/main/sidebar/SidebarMenu.h"
#include "ui/main/sidebar/SidebarModel.h"
#include "ui/main/sidebar/SidebarSearchField.h"

namespace {

constexpr qreal kCaption = 11;
using Style = SidebarButton::Style;

QHBoxLayout* row(int spacing) {
    auto* r = new QHBoxLayout;
    r->setContentsMargins(12, 0, 12, 8);
    r->setSpacing(spacing);
    return r;
}

}  // namespace

SidebarView::SidebarView(UiContext& ctx, MainViewModel& model, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      model_(model),
      sidebar_(new SidebarModel(model, ctx.store, ctx.library, this)),
      rows_(new RecordListModel(model, ctx.library, ctx.defaults, this)),
      search_(new SidebarSearchField),
      favorites_(new SidebarButton(QStringLiteral("star"), QStringLiteral("お気に入り"),
                                   Style::borderless, kCaption)),
      archive_(new SidebarButton(QStringLiteral("archivebox"), QStringLiteral("アーカイブ"),
                                 Style::borderless, kCaption)),
      filter_(new SidebarButton(QStringLiteral("line.3.horizontal.decrease.circle"), QString(),
                                Style::borderless, kCaption)),
      folders_(new SidebarButton(QStringLiteral("folder"), QString(), Style::borderless, kCaption)),
      tags_(new SidebarButton(QStringLiteral("tag"), QString(), Style::borderless, kCaption)),
      manager_(new SidebarButton(QStringLiteral("gearshape"), QString(), Style::plain, kCaption)),
      selectAll_(new SidebarButton(QString(), QString(), Style::plain, kCaption)),
      list_(new RecordListView(model, *rows_)),
      bulkBar_(new BulkBar(*sidebar_)),
      slide_(new QVariantAnimation(this)) {
    setAutoFillBackground(true);
    followPalette();

    filter_->setToolTip(QStringLiteral("絞り込み"));
    folders_->setShrinkable(true);
    tags_->setShrinkable(true);
    manager_->setToolTip(QStringLiteral("フォルダとタグを管理"));
    manager_->setTint(PanelStyle::secondary(this));

    auto* switches = row(7);
    switches->addStretch(1);
    switches->addWidget(favorites_);
    switches->addWidget(archive_);
    switches->addWidget(filter_);
    switches->addStretch(1);
    auto* organise = row(8);
    organise->addWidget(folders_, 0);
    organise->addWidget(tags_, 0);
    organise->addWidget(manager_);
    organise->addStretch(1);
    organise->addWidget(selectAll_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(search_);
    column->addLayout(switches);
    column->addLayout(organise);
    column->addWidget(divider());
    column->addWidget(list_, 1);
    column->addWidget(bulkBar_);
    bulkBar_->setVisible(sidebar_->showsBulkBar());

    connect(search_, &SidebarSearchField::queryEdited, this,
            [this](const QString& q) { model_.setQuery(q.toStdString()); });
    connect(favorites_, &QAbstractButton::clicked, sidebar_, &SidebarModel::toggleFavorites);
    connect(archive_, &QAbstractButton::clicked, sidebar_, &SidebarModel::toggleArchive);
    connect(filter_, &QAbstractButton::clicked, this, &SidebarView::openFilterPopup);
    connect(folders_, &QAbstractButton::clicked, this, [this] {
        SidebarMenu::exec(sidebar_->folderFilterMenu(),
                          folders_->mapToGlobal(QPoint(0, folders_->height())), this);
    });
    connect(tags_, &QAbstractButton::clicked, this, [this] {
        SidebarMenu::exec(sidebar_->tagFilterMenu(), tags_->mapToGlobal(QPoint(0, tags_->height())),
                          this);
    });
    connect(manager_, &QAbstractButton::clicked, sidebar_, &SidebarModel::openManager);
    connect(selectAll_, &QAbstractButton::clicked, this, [this] { model_.toggleSelectAll(); });
    // A shortcut of its own: a button's setText() replaces the button's shortcut.
    auto* selectAllKeys = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), this);
    connect(selectAllKeys, &QShortcut::activated, this, [this] {
        if (selectAll_->isEnabled()) model_.toggleSelectAll();
    });
    connect(list_, &RecordListView::checkToggled, sidebar_, &SidebarModel::toggleCheck);
    connect(list_, &RecordListView::menuRequested, this,
            [this](const std::string& id, const QPoint& at) {
                SidebarMenu::exec(sidebar_->rowMenu(id), at, this);
            });

    connect(&model_, &MainViewModel::filtersChanged, this, &SidebarView::followFilters);
    connect(&model_, &MainViewModel::listChanged, this, &SidebarView::followList);
    connect(&model_, &MainViewModel::bulkSelectionChanged, this, &SidebarView::followMarks);
    connect(&ctx_.engine, &RecorderEngine::agentRunsChanged, this, &SidebarView::followAgents);

    slide_->setDuration(320);
    slide_->setEasingCurve(QEasingCurve::OutBack);  // a lightly damped spring
    connect(slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const qreal t = std::clamp(v.toReal(), 0.0, 1.2);
        bulkBar_->setMaximumHeight(static_cast<int>(bulkBar_->sizeHint().height() * t));
        if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(bulkBar_->graphicsEffect()))
            fade->setOpacity(std::min<qreal>(t, 1));
    });
    connect(slide_, &QVariantAnimation::finished, this, [this] {
        bulkBar_->setGraphicsEffect(nullptr);
        bulkBar_->setMaximumHeight(QWIDGETSIZE_MAX);
        bulkBar_->setVisible(sidebar_->showsBulkBar());
    });

    followFilters();
    followList();
    followAgents();
}

void SidebarView::openFilterPopup() {
    auto* popup = new FilterPopup(*sidebar_, this);
    popup->move(filter_->mapToGlobal(QPoint(0, filter_->height() + 2)));
    popup->show();
}

void SidebarView::followFilters() {
    search_->setQuery(QString::fromStdString(model_.query()));
    favorites_->setSymbol(sidebar_->favoritesSymbol());
    favorites_->setOn(model_.favoritesOnly());
    archive_->setOn(model_.archivedOnly());
    folders_->setText(model_.folderFilterLabel());
    tags_->setText(model_.tagFilterLabel());
}

void SidebarView::followList() {
    followMarks();
    selectAll_->setEnabled(sidebar_->selectAllEnabled());
    selectAll_->setToolTip(sidebar_->selectAllHelp());
}

void SidebarView::followMarks() {
    selectAll_->setText(sidebar_->selectAllLabel());
    selectAll_->setSymbol(sidebar_->selectAllSymbol());
    bulkBar_->follow();
    const bool show = sidebar_->showsBulkBar();
    const bool heading = slide_->state() == QAbstractAnimation::Running
                             ? slide_->endValue().toReal() > 0.5
                             : bulkBar_->isVisibleTo(this);
    if (show != heading) slideBulkBar(show);
}

void SidebarView::slideBulkBar(bool in) {
    if (PanelStyle::reduceMotion() || !isVisible()) {
        slide_->stop();
        bulkBar_->setGraphicsEffect(nullptr);
        bulkBar_->setMaximumHeight(QWIDGETSIZE_MAX);
        bulkBar_->setVisible(in);
        return;
    }
    const qreal from = slide_->state() == QAbstractAnimation::Running
                           ? slide_->currentValue().toReal()
                           : (in ? 0.0 : 1.0);
    slide_->stop();
    if (!bulkBar_->graphicsEffect()) bulkBar_->setGraphicsEffect(new QGraphicsOpacityEffect);
    bulkBar_->setVisible(true);
    slide_->setEasingCurve(in ? QEasingCurve::OutBack : QEasingCurve::InCubic);
    slide_->setStartValue(from);
    slide_->setEndValue(in ? 1.0 : 0.0);
    slide_->start();
}

void SidebarView::followAgents() {
    std::set<std::string> running;
    for (const auto& [id, run] : ctx_.engine.agentRuns())
        if (run.state == AgentRun::State::running) running.insert(id);
    rows_->setRunningAgents(std::move(running));
}

void SidebarView::followPalette() {
    // The column is white, but white under a dark theme's light text would leave the list
    // unreadable, so there it takes the theme's own base colour.
    const bool darkText = palette().color(QPalette::WindowText).lightness() > 128;
    const QColor background = darkText ? QApplication::palette(this).color(QPalette::Base)
                                       : QColor(Qt::white);
    QPalette pal = palette();
    if (pal.color(QPalette::Window) == background && pal.color(QPalette::Base) == background)
        return;
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::Base, background);
    setPalette(pal);
}

void SidebarView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) followPalette();
}
