#include "platform/GlobalKeySource.h"

#include <QSocketNotifier>

// Xlib defines Bool, Status and None, so it comes after every Qt header.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace {
Display* dpy(void* d) {
    return static_cast<Display*>(d);
}
}  // namespace

void GlobalKeySource::DisplayCloser::operator()(void* d) const {
    if (d) XCloseDisplay(dpy(d));
}

GlobalKeySource::GlobalKeySource(QObject* parent) : QObject(parent) {}

GlobalKeySource::~GlobalKeySource() {
    delete notifier_;  // before the connection whose descriptor it watches
}

bool GlobalKeySource::start() {
    if (display_) return true;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    std::unique_ptr<void, DisplayCloser> holder(d);

    int event = 0, error = 0;
    if (!XQueryExtension(d, "XInputExtension", &xiOpcode_, &event, &error)) return false;
    // From 2.1 on the server sends raw events also while another client grabs the keyboard, as
    // a window manager does for its shortcuts; a 2.0 client would miss the releases made then.
    // An older server answers with its own version, and raw events still come outside grabs.
    int major = 2, minor = 2;
    if (XIQueryVersion(d, &major, &minor) != Success || major < 2) return false;

    // Master devices only: each key then arrives once, whether typed or synthesised (XTest).
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISelectEvents(d, DefaultRootWindow(d), &mask, 1);
    XFlush(d);

    displayHolder_ = std::move(holder);
    display_ = d;
    notifier_ = new QSocketNotifier(ConnectionNumber(d), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    // Events may already sit in Xlib's queue, where the socket no longer signals them.
    drain();
    return true;
}

void GlobalKeySource::drain() {
    Display* d = dpy(display_);
    while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        XGenericEventCookie* cookie = &ev.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_) continue;
        if (!XGetEventData(d, cookie)) continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const KeySym sym = XkbKeycodeToKeysym(d, static_cast<KeyCode>(raw->detail), 0, 0);
            const bool press = cookie->evtype == XI_RawKeyPress;
            XFreeEventData(d, cookie);
            if (press)
                emit keyPressed(static_cast<quint32>(sym));
            else
                emit keyReleased(static_cast<quint32>(sym));
            continue;
        }
        XFreeEventData(d, cookie);
    }
}
