#pragma once
// The account tab: login by e-mail code, the plan and this month's count.
#include "ui/settings/SettingsForm.h"

struct UiContext;
class AccountSettingsModel;
class QLabel;
class QLineEdit;
class QPushButton;

class AccountSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit AccountSettings(UiContext& ctx, QWidget* parent = nullptr);

    AccountSettingsModel& model() const { return *model_; }

    QLineEdit* emailField() const { return emailField_; }
    QPushButton* requestButton() const { return request_; }
    QLineEdit* codeField() const { return codeField_; }
    QPushButton* verifyButton() const { return verify_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* upgradeButton() const { return upgrade_; }
    QPushButton* logoutButton() const { return logout_; }
    QLabel* plan() const { return plan_; }
    QLabel* count() const { return count_; }
    QLabel* error() const { return error_; }
    // The step shown: 0 e-mail, 1 code, 2 signed in.
    int shownPage() const;

private:
    void build();
    void follow();

    AccountSettingsModel* model_;
    QWidget* pages_[3] = {};
    QLineEdit* emailField_ = nullptr;
    QPushButton* request_ = nullptr;
    QLineEdit* codeField_ = nullptr;
    QPushButton* verify_ = nullptr;
    QPushButton* back_ = nullptr;
    QLabel* account_ = nullptr;
    QLabel* plan_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* upgrade_ = nullptr;
    QPushButton* logout_ = nullptr;
    QLabel* error_ = nullptr;
};
