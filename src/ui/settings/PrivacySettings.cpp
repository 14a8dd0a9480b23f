#include "ui/settings/PrivacySettings.h"

#include "ui/UiContext.h"

PrivacySettings::PrivacySettings(UiContext& ctx, QWidget* parent)
    : SettingsScroll(parent), ctx_(ctx) {}
