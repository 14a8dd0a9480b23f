#pragma once
// The recording tab: system audio, participant detection, the floating pill, the calendar watch and the vocabulary.
#include "ui/settings/SettingsScroll.h"

struct UiContext;

class RecordingSettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit RecordingSettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
