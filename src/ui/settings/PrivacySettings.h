#pragma once
// The privacy tab: keeping windows out of screen capture, and the tray icon.
#include "ui/settings/SettingsScroll.h"

struct UiContext;

class PrivacySettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit PrivacySettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
