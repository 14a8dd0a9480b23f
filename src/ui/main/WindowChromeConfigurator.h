#pragma once
// Gives the main window its own chrome in place of the window manager's: no frame and no title
// bar, so that the content reaches the top edge; the window moves when its strip or an empty
// part of its background is dragged, and resizes from its outer edges. The window stays an
// ordinary managed window: the window manager still places, stacks, maximises and moves it, and
// its keyboard shortcuts keep working.
//
// Lives in the view it serves and acts on that view's window: at once (so that the window is
// shown without a frame from the start), on the next turn of the event loop, half a second
// later, whenever the window becomes active and when it enters or leaves full screen. Applying
// is idempotent: what is already in place is left alone, so that nothing flickers.
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;
class QWindow;

class WindowChromeConfigurator : public QObject {
    Q_OBJECT
public:
    static constexpr int kSecondPassMs = 500;

    explicit WindowChromeConfigurator(QWidget* host);
    ~WindowChromeConfigurator() override;

    // The host's window, as it is now.
    QWidget* window() const;
    // Applies the chrome to the host's window.
    void configure();
    // Drops the observers it holds, configures, and observes the window's activation and its
    // entering and leaving full screen. Without a native window yet it only configures; the
    // window's first showing attaches.
    void attach();
    // Never more than three: one per kind of change.
    std::size_t observerCount() const { return observers_.size(); }
    // Times the chrome was applied, for the tests.
    int configureCount() const { return configured_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void detach();

    QWidget* host_;
    QPointer<QWindow> observed_;
    std::vector<QMetaObject::Connection> observers_;
    bool fullScreen_ = false;
    int configured_ = 0;
};
