#pragma once
// The container of the agent, integration and account tabs: a form in a vertical scroll view,
// 20 px from every edge.
#include <QScrollArea>

#include "ui/settings/SettingsFormLayout.h"

class SettingsForm : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsForm(QWidget* parent = nullptr);

    SettingsFormLayout* form() const { return form_; }

    static constexpr int kPadding = 20;

signals:
    // The user opened the tab, or left it for another tab or by closing the window. Restoring
    // or minimising the window is neither: the user may be in the browser, signing in.
    void tabShown();
    void tabLeft();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    SettingsFormLayout* form_;
};
