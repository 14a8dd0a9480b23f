#pragma once
// The main window: the library browser in an ordinary window with the window manager's frame,
// at least 920 by 600 and first shown at 1100 by 760. Ctrl+, opens the settings and Ctrl+Q quits.
#include <QMainWindow>

#include <functional>

struct UiContext;
class MainView;
class QAction;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{920, 600};
    static constexpr QSize kDefaultSize{1100, 760};

    MainWindow(UiContext& context, std::function<void()> openSettings, std::function<void()> quit,
               QWidget* parent = nullptr);

    MainView* view() const { return view_; }
    QAction* settingsAction() const { return settingsAction_; }
    QAction* quitAction() const { return quitAction_; }

private:
    MainView* view_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* quitAction_ = nullptr;
};
