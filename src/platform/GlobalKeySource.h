#pragma once
// Key presses and releases of the whole X display, whichever window has the focus: XInput2 raw
// key events selected on the root window, read on the thread that owns the object. Needs an X
// server (X11 or XWayland); Wayland itself offers no such thing, and then available() is false.
#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <set>

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

    // The keys held, by keysym, at the event being reported now (or, between reports, at the
    // last one reported), as the server has them: a release that never reached this source
    // (another client held the keyboard on an older server) does not leave its key held here.
    // Only a key that changes again before the server answers is taken from the reports.
    // One round trip to the server.
    std::set<quint32> keysHeld();

signals:
    // `keysym` is the key's unshifted symbol (XK_Super_L, XK_c, …); repeats of a held key are
    // reported as further presses.
    void keyPressed(quint32 keysym);
    void keyReleased(quint32 keysym);

private:
    struct KeyEvent {
        unsigned long serial;  // of the last request the server had handled when it was sent
        quint32 keysym;
        bool pressed;
    };

    void read();
    void drain();
    quint32 keysymOf(int keycode) const;

    struct DisplayCloser {
        void operator()(void* d) const;
    };
    std::unique_ptr<void, DisplayCloser> displayHolder_;
    void* display_ = nullptr;  // Display*, kept opaque so Xlib's macros stay out of this header
    int xiOpcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::deque<KeyEvent> unreported_;  // read from the display, in order, not yet emitted
    std::set<quint32> held_;           // by the reports so far, corrected by keysHeld()
    bool draining_ = false;
};
