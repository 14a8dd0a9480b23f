#pragma once
// The account tab: login by e-mail code, the plan and this month's count.
#include "ui/settings/SettingsForm.h"

struct UiContext;

class AccountSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit AccountSettings(UiContext& ctx, QWidget* parent = nullptr);

private:
    UiContext& ctx_;
};
