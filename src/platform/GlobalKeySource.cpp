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

quint32 GlobalKeySource::keysymOf(int keycode) const {
    return static_cast<quint32>(
        XkbKeycodeToKeysym(dpy(display_), static_cast<KeyCode>(keycode), 0, 0));
}

void GlobalKeySource::read() {
    Display* d = dpy(display_);
    while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        XGenericEventCookie* cookie = &ev.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_) continue;
        if (!XGetEventData(d, cookie)) continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            unreported_.push_back(
                {cookie->serial, keysymOf(raw->detail), cookie->evtype == XI_RawKeyPress});
        }
        XFreeEventData(d, cookie);
    }
}

void GlobalKeySource::drain() {
    read();
    if (draining_) return;  // called from a listener: the loop below reports them in order
    draining_ = true;
    while (!unreported_.empty()) {
        const KeyEvent e = unreported_.front();
        unreported_.pop_front();
        if (e.pressed) {
            held_.insert(e.keysym);
            emit keyPressed(e.keysym);
        } else {
            held_.erase(e.keysym);
            emit keyReleased(e.keysym);
        }
    }
    draining_ = false;
}

std::set<quint32> GlobalKeySource::keysHeld() {
    if (!display_) return held_;
    Display* d = dpy(display_);
    const unsigned long snapshot = NextRequest(d);
    char keys[32] = {};
    XQueryKeymap(d, keys);
    read();  // every event sent before the answer is in Xlib's queue by now
    std::set<quint32> down;
    for (int code = 0; code < 256; ++code) {
        if (!(keys[code / 8] & (1 << (code % 8)))) continue;
        if (const quint32 sym = keysymOf(code)) down.insert(sym);
    }
    // The answer is newer than the event being reported. A key with events in between ends as
    // its last one says, whatever it was before, so the answer tells nothing of it: the reports
    // stand. Every other key is as the server says.
    std::set<quint32> changing;
    for (const KeyEvent& e : unreported_) {
        if (e.serial >= snapshot) break;
        changing.insert(e.keysym);
    }
    std::erase_if(held_, [&](quint32 sym) { return !changing.count(sym) && !down.count(sym); });
    for (quint32 sym : down)
        if (!changing.count(sym)) held_.insert(sym);
    // Outside a report, nothing else would report what was read here.
    if (!draining_ && !unreported_.empty())
        QMetaObject::invokeMethod(this, &GlobalKeySource::drain, Qt::QueuedConnection);
    return held_;
}
