#pragma once
// The main window: the library browser in an ordinary window with the window manager's frame,
// at least 920 by 600 (less where the screen is smaller) and first shown at 1100 by 760 within
// the screen. It opens where it was last left. Ctrl+, opens the settings and Ctrl+Q quits.
#include <QMainWindow>
#include <QMargins>

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
    // {"x", "y", "width", "height", "maximized"}: the client area when last left.
    static constexpr const char* kGeometryKey = "mainWindowGeometry";
    // A title bar and thin borders: what most window managers add, until the real frame is known.
    static constexpr QMargins kLikelyFrame{2, 36, 2, 2};

    MainWindow(UiContext& context, std::function<void()> openSettings, std::function<void()> quit,
               QWidget* parent = nullptr);

    MainView* view() const { return view_; }
    QAction* settingsAction() const { return settingsAction_; }
    QAction* quitAction() const { return quitAction_; }

    // Keeps where the window is and how large it is for the next start.
    void rememberGeometry();
    // What the window manager adds around the client area; a likely frame before it is shown.
    QMargins frameMargins() const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void placeAtStart();

    UserDefaults& defaults_;
    MainView* view_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* quitAction_ = nullptr;
};
