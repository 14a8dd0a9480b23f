#pragma once
// The integrations tab: connecting the services the minutes are sent to.
#include "ui/settings/SettingsForm.h"

struct UiContext;

class IntegrationSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit IntegrationSettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
