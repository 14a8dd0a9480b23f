#include "ui/settings/RecordingSettings.h"

#include "ui/UiContext.h"

RecordingSettings::RecordingSettings(UiContext& ctx, QWidget* parent)
    : SettingsScroll(parent), ctx_(ctx) {}
