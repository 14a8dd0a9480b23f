#pragma once
// The privacy tab: keeping windows out of screen capture, and the tray icon.
#include "ui/settings/SettingsScroll.h"

struct UiContext;
class PrivacySettingsModel;
class QCheckBox;
class QLabel;

class PrivacySettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit PrivacySettings(UiContext& ctx, QWidget* parent = nullptr);
    // Over a model of the caller's (what this desktop supports, set by a test).
    PrivacySettings(PrivacySettingsModel* model, QWidget* parent = nullptr);

    PrivacySettingsModel& model() const { return *model_; }
    QCheckBox* stealthToggle() const { return stealth_; }
    QLabel* stealthCaption() const { return stealthCaption_; }
    QCheckBox* trayToggle() const { return tray_; }
    QLabel* trayCaption() const { return trayCaption_; }

private:
    void follow();

    PrivacySettingsModel* model_;
    QCheckBox* stealth_;
    QLabel* stealthCaption_;
    QCheckBox* tray_;
    QLabel* trayCaption_;
};
