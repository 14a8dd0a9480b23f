#pragma once
// The main window's left column: the records the filters let through, newest first. Selecting
// a row shows that record; the column's state lives in MainViewModel.
#include <QWidget>

struct UiContext;
class MainViewModel;
class QListWidget;

class SidebarView : public QWidget {
    Q_OBJECT
public:
    SidebarView(UiContext& ctx, MainViewModel& model, QWidget* parent = nullptr);

    QListWidget* recordList() const { return list_; }

private:
    void rebuildList();
    void followSelection();

    UiContext& ctx_;
    MainViewModel& model_;
    QListWidget* list_;
};
