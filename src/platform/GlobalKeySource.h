#pragma once
// Key presses and releases of the whole X display, whichever window has the focus: XInput2 raw
// key events selected on the root window, read on the thread that owns the object. Needs an X
// server (X11 or XWayland); Wayland itself offers no such thing, and then available() is false.
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

class GlobalKeySource : public QObject {
    Q_OBJECT
public:
    explicit GlobalKeySource(QObject* parent = nullptr);
    ~GlobalKeySource() override;

    // Connects to $DISPLAY and starts listening. False when there is no display or it lacks
    // XInput 2; the source then stays silent.
    bool start();
    bool available() const { return display_ != nullptr; }

signals:
    // `keysym` is the key's unshifted symbol (XK_Super_L, XK_c, …); repeats of a held key are
    // reported as further presses.
    void keyPressed(quint32 keysym);
    void keyReleased(quint32 keysym);

private:
    void drain();

    struct DisplayCloser {
        void operator()(void* d) const;
    };
    std::unique_ptr<void, DisplayCloser> displayHolder_;
    void* display_ = nullptr;  // Display*, kept opaque so Xlib's macros stay out of this header
    int xiOpcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
};
