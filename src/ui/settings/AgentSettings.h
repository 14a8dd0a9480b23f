#pragma once
// The AI agent tab: autonomy, the agent tool, and each tool's sign-in.
#include "ui/settings/SettingsForm.h"

struct UiContext;

class AgentSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit AgentSettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
