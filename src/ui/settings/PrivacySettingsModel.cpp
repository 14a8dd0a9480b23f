#include "ui/settings/PrivacySettingsModel.h"

#include "util/UserDefaults.h"

PrivacySettingsModel::PrivacySettingsModel(UserDefaults& defaults, bool stealthSupported,
                                           bool trayAvailable, std::function<void()> applyStealth,
                                           QObject* parent)
    : QObject(parent),
      defaults_(defaults),
      stealthSupported_(stealthSupported),
      trayAvailable_(trayAvailable),
      applyStealth_(std::move(applyStealth)) {
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kStealthKey) || key == QLatin1String(kHideTrayKey)) emit changed();
    });
}

bool PrivacySettingsModel::stealthMode() const {
    return defaults_.boolOr(kStealthKey, true);
}

bool PrivacySettingsModel::stealthShown() const {
    return stealthSupported_ && stealthMode();
}

void PrivacySettingsModel::setStealthMode(bool on) {
    // The stored value stays as it is where it could promise nothing.
    if (!stealthSupported_) return;
    defaults_.set(kStealthKey, on);
    if (applyStealth_) applyStealth_();
}

QString PrivacySettingsModel::stealthCaption() const {
    if (!stealthSupported_)
        return QStringLiteral(
            "このデスクトップでは、TAVROのウィンドウやレコーダーピルを画面共有・画面収録・"
            "スクリーンショットから除外できません。共有中の画面には通常どおり映ります。");
    return QStringLiteral(
        "ONにすると、画面共有・画面収録・スクリーンショットにTAVROのウィンドウ・レコーダーピルが"
        "一切映りません。自分の画面では通常どおり表示されます。");
}

bool PrivacySettingsModel::hideTrayIcon() const {
    return defaults_.boolOr(kHideTrayKey, false);
}

void PrivacySettingsModel::setHideTrayIcon(bool hide) {
    defaults_.set(kHideTrayKey, hide);
}

QString PrivacySettingsModel::trayCaption() const {
    QString text = QStringLiteral(
        "システムトレイからTAVROアイコンを消します。操作はメインウィンドウとホットキー"
        "(修飾キー2回押し)で行えます。画面を共有・録画する場面での、トレイアイコンによる録音の"
        "露出を防ぎます。");
    if (!trayAvailable_)
        text += QStringLiteral(
            "\nこのデスクトップにはシステムトレイがないため、アイコンは今も表示されていません。");
    return text;
}
