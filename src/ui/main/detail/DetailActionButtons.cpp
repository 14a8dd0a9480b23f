#include "ui/main/detail/DetailActionButtons.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include "desktop/Symbols.h"
#include "ui/main/detail/DetailActionsModel.h"
#include "ui/main/dialogs/ShareAccess.h"

namespace {

QToolButton* menuButton(QMenu* menu, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setIconSize(QSize(16, 16));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The arrow would sit on the label; the button opens its menu on any click anyway.
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    return button;
}

}  // namespace

DetailActionButtons::DetailActionButtons(UiContext& ctx, DetailActionsModel& model, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      model_(model),
      shareMenu_(new QMenu(this)),
      actionsMenu_(new QMenu(this)) {
    const QColor ink = palette().color(QPalette::ButtonText);
    shareButton_ = menuButton(shareMenu_, this);
    shareButton_->setText(kShareTitle);
    shareButton_->setIcon(Symbols::icon(QStringLiteral("square.and.arrow.up"), ink));
    shareButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    actionsButton_ = menuButton(actionsMenu_, this);
    actionsButton_->setIcon(Symbols::icon(QStringLiteral("ellipsis.circle"), ink));
    actionsButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(shareButton_);
    row->addWidget(actionsButton_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    connect(shareMenu_, &QMenu::aboutToShow, this, &DetailActionButtons::rebuildShareMenu);
    connect(actionsMenu_, &QMenu::aboutToShow, this, &DetailActionButtons::rebuildActionsMenu);
    // An open menu follows a run that starts or ends while it is shown.
    connect(&model_, &DetailActionsModel::agentChanged, this, [this] {
        if (actionsMenu_->isVisible()) rebuildActionsMenu();
    });
    // The share menu reads the keyring, so it is filled only when it opens.
    rebuildActionsMenu();
}

void DetailActionButtons::rebuildMenus() {
    rebuildShareMenu();
    rebuildActionsMenu();
}

void DetailActionButtons::rebuildShareMenu() {
    shareMenu_->clear();
    shareMenu_->addAction(kAccess, this, [this] {
        if (const MinutesRecord* r = model_.record())
            openShareAccess(ctx_, model_.effectiveMinutes(), r->id, window());
    });
    const auto entries = model_.shareEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i % 3 == 0) shareMenu_->addSeparator();
        const ShareEntry& entry = entries[i];
        QAction* action = shareMenu_->addAction(
            QString::fromStdString(entry.title()), this,
            [this, target = entry.target, label = entry.label] { model_.share(target, label); });
        action->setEnabled(entry.configured);
    }
    shareMenu_->addSeparator();
    shareMenu_->addAction(kSettings, this, &DetailActionButtons::settingsRequested);
}

void DetailActionButtons::rebuildActionsMenu() {
    actionsMenu_->clear();
    actionsMenu_->addAction(kCopy, this, [this] { model_.copyMarkdown(); });
    QMenu* exports = actionsMenu_->addMenu(kExport);
    for (const auto& f : DetailActionsModel::exportFormats())
        exports->addAction(f.title, this, [this, format = f.format, label = f.label] {
            model_.exportFile(format, label);
        });
    actionsMenu_->addAction(kReveal, this, [this] { model_.revealInFileManager(); });
    QAction* agent = actionsMenu_->addAction(kAgent, this, [this] { model_.requestAgent(); });
    agent->setEnabled(model_.canRequestAgent());
    actionsMenu_->addSeparator();
    actionsMenu_->addAction(kDelete, this, &DetailActionButtons::deleteRequested);
}
