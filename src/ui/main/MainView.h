#pragma once
// The main window's root: the strip along the top with the window's own buttons, then the record
// list in the sidebar column, and the detail column with the header above either the shown
// record or the placeholder. It gives its window its own chrome (WindowChromeConfigurator). Its
// state lives in MainViewModel and HeaderModel; this widget only lays them out and forwards the
// user's clicks.
#include <QWidget>

#include <string>

struct UiContext;
class DetailView;
class DialogHost;
class EmptyStateView;
class HeaderModel;
class HeaderView;
class MainViewModel;
class QLabel;
class QStackedWidget;
class RecordListView;
class SidebarView;
class WindowButtonLayoutReader;
class WindowChromeConfigurator;
class WindowStrip;

class MainView : public QWidget {
    Q_OBJECT
public:
    explicit MainView(UiContext& ctx, QWidget* parent = nullptr);
    ~MainView() override;

    MainViewModel& model() const { return *model_; }
    HeaderModel& headerModel() const { return *header_; }
    HeaderView* headerView() const { return headerView_; }
    WindowStrip* windowStrip() const { return strip_; }
    WindowChromeConfigurator* chrome() const { return chrome_; }
    SidebarView* sidebar() const { return sidebar_; }
    RecordListView* recordList() const;
    // The library's last failure in one line, hidden while there is none.
    QWidget* libraryErrorLine() const { return errorLine_; }
    QLabel* libraryErrorLabel() const { return errorText_; }
    // The shown record's view, or none while the placeholder shows.
    DetailView* detailView() const { return detailView_; }
    EmptyStateView* emptyState() const { return emptyState_; }
    // Opens and closes the sheets the model asks for.
    DialogHost* dialogHost() const { return dialogHost_; }
    // The detail column shows the selected record's pane (not the placeholder).
    bool showsRecord() const;

    static constexpr int kSidebarWidth = 280;
    static constexpr QSize kMinimumSize{920, 600};
    static constexpr QSize kDefaultSize{1100, 760};
    // How far below its place a newly shown record's pane starts as it fades in.
    static constexpr int kDetailRise = 6;

signals:
    // The header's settings button: whoever owns the settings window opens it.
    void settingsRequested();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void followSelection();
    void followRecorder();
    void followLibraryError();

    UiContext& ctx_;
    WindowButtonLayoutReader* buttonLayout_;
    WindowStrip* strip_;
    MainViewModel* model_;
    HeaderModel* header_;
    HeaderView* headerView_;
    SidebarView* sidebar_;
    QStackedWidget* detail_;
    EmptyStateView* emptyState_;
    DetailView* detailView_ = nullptr;
    DialogHost* dialogHost_;
    QWidget* errorLine_;
    QLabel* errorText_;
    WindowChromeConfigurator* chrome_ = nullptr;
};
