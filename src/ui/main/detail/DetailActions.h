#pragma once
// Joins the record's menus, status line and agent section to a detail view: the menus go to the
// header's trailing end, their status texts to the view's status line, and the agent section
// into the action tab. Lives as long as the view (its child).
#include <QObject>

#include <functional>

class DetailActionButtons;
class DetailActionsModel;
class DetailView;

class DetailActions : public QObject {
    Q_OBJECT
public:
    // `openSettings` opens the settings window (the share menu's "連携設定…").
    DetailActions(DetailView& view, std::function<void()> openSettings);

    DetailActionsModel& model() const { return *model_; }
    DetailActionButtons* buttons() const { return buttons_; }

private:
    DetailActionsModel* model_;
    DetailActionButtons* buttons_;
};
