#pragma once
// The container of the agent, integration and account tabs: a form in a vertical scroll view,
// 20 px from every edge.
#include <QScrollArea>

class QFormLayout;

class SettingsForm : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsForm(QWidget* parent = nullptr);

    QFormLayout* form() const { return form_; }

    static constexpr int kPadding = 20;

private:
    QFormLayout* form_;
};
