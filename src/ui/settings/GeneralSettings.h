#pragma once
// The general tab: the default template, custom templates, the hotkey, launch at login and the data folder.
#include "ui/settings/SettingsScroll.h"

struct UiContext;

class GeneralSettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit GeneralSettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
