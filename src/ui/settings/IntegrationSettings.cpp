#include "ui/settings/IntegrationSettings.h"

#include "ui/UiContext.h"

IntegrationSettings::IntegrationSettings(UiContext& ctx, QWidget* parent) : SettingsForm(parent), ctx_(ctx) {}
