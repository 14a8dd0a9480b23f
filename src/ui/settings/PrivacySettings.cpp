#include "ui/settings/PrivacySettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "desktop/MenuBarIcon.h"
#include "desktop/Stealth.h"
#include "ui/UiContext.h"
#include "ui/settings/PrivacySettingsModel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "util/UserDefaults.h"

PrivacySettings::PrivacySettings(UiContext& ctx, QWidget* parent)
    : PrivacySettings(
          new PrivacySettingsModel(ctx.defaults, Stealth::supported(), MenuBarIcon::available(),
                                   [&defaults = ctx.defaults] { Stealth::apply(defaults); }),
          parent) {}

PrivacySettings::PrivacySettings(PrivacySettingsModel* model, QWidget* parent)
    : SettingsScroll(parent),
      model_(model),
      stealth_(new QCheckBox(QStringLiteral("ステルスモード(画面共有・録画にTAVROを映さない)"))),
      stealthCaption_(settingsCaption(model->stealthCaption())),
      tray_(new QCheckBox(QStringLiteral("システムトレイの録音アイコンも隠す"))),
      trayCaption_(settingsCaption(model->trayCaption())) {
    model_->setParent(this);
    addRow(stealth_);
    rows()->addWidget(stealthCaption_);
    rows()->addWidget(settingsDivider());
    addRow(tray_);
    rows()->addWidget(trayCaption_);
    stealth_->setEnabled(model_->stealthEditable());
    connect(stealth_, &QCheckBox::toggled, model_, &PrivacySettingsModel::setStealthMode);
    connect(tray_, &QCheckBox::toggled, model_, &PrivacySettingsModel::setHideTrayIcon);
    connect(model_, &PrivacySettingsModel::changed, this, &PrivacySettings::follow);
    follow();
}

void PrivacySettings::follow() {
    for (const auto& [box, on] :
         {std::pair{stealth_, model_->stealthShown()}, std::pair{tray_, model_->hideTrayIcon()}}) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
}
