#include "ui/settings/AgentSettings.h"

#include "ui/UiContext.h"

AgentSettings::AgentSettings(UiContext& ctx, QWidget* parent) : SettingsForm(parent), ctx_(ctx) {}
