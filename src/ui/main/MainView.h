#pragma once
// The main window's root: the record list in the sidebar column, and the detail column with the
// header above either the shown record or the placeholder. Its state lives in MainViewModel and
// HeaderModel; this widget only lays them out and forwards the user's clicks.
#include <QWidget>

#include <string>

struct UiContext;
class EmptyStateView;
class HeaderModel;
class HeaderView;
class MainViewModel;
class QListWidget;
class QStackedWidget;

class MainView : public QWidget {
    Q_OBJECT
public:
    explicit MainView(UiContext& ctx, QWidget* parent = nullptr);
    ~MainView() override;

    MainViewModel& model() const { return *model_; }
    HeaderModel& headerModel() const { return *header_; }
    HeaderView* headerView() const { return headerView_; }
    QListWidget* recordList() const { return list_; }
    EmptyStateView* emptyState() const { return emptyState_; }
    // The detail column shows the selected record's pane (not the placeholder).
    bool showsRecord() const;

    static constexpr int kSidebarWidth = 280;
    static constexpr QSize kMinimumSize{920, 600};
    static constexpr QSize kDefaultSize{1100, 760};

signals:
    // The header's settings button: whoever owns the settings window opens it.
    void settingsRequested();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void rebuildList();
    void followSelection();
    void followRecorder();

    UiContext& ctx_;
    MainViewModel* model_;
    HeaderModel* header_;
    HeaderView* headerView_;
    QListWidget* list_;
    QStackedWidget* detail_;
    EmptyStateView* emptyState_;
    QWidget* recordPane_;
    std::string shownID_;  // the record in the detail column; another one fades in afresh
};
