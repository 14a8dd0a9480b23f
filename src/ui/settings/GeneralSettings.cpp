#include "ui/settings/GeneralSettings.h"

#include "ui/UiContext.h"

GeneralSettings::GeneralSettings(UiContext& ctx, QWidget* parent)
    : SettingsScroll(parent), ctx_(ctx) {}
