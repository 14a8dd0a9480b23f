#pragma once
// The main window: the library browser in an ordinary managed window without the window
// manager's frame (its view draws its own strip and buttons along the top), at least 920 by 600
// (less where the screen is smaller) and first shown at 1100 by 760 within the screen. It opens
// where it was last left. Ctrl+, opens the settings and Ctrl+Q quits.
#include <QMainWindow>

#include <functional>

struct UiContext;
class MainView;
class QAction;
class UserDefaults;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{920, 600};
    static constexpr QSize kDefaultSize{1100, 760};
    // {"x", "y", "width", "height", "maximized"}: the window when last left.
    static constexpr const char* kGeometryKey = "mainWindowGeometry";

    MainWindow(UiContext& context, std::function<void()> openSettings, std::function<void()> quit,
               QWidget* parent = nullptr);

    MainView* view() const { return view_; }
    QAction* settingsAction() const { return settingsAction_; }
    QAction* quitAction() const { return quitAction_; }

    // Keeps where the window is and how large it is for the next start.
    void rememberGeometry();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void placeAtStart();

    UserDefaults& defaults_;
    MainView* view_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* quitAction_ = nullptr;
};
