#include "ui/settings/AccountSettings.h"

#include "ui/UiContext.h"

AccountSettings::AccountSettings(UiContext& ctx, QWidget* parent) : SettingsForm(parent), ctx_(ctx) {}
