#include "desktop/HotkeyMonitor.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

#include <chrono>

#include "platform/GlobalKeySource.h"
#include "util/UserDefaults.h"

namespace {

// X keysyms of the modifier and lock keys (X11/keysymdef.h).
enum : quint32 {
    kShiftL = 0xffe1,
    kShiftR = 0xffe2,
    kControlL = 0xffe3,
    kControlR = 0xffe4,
    kCapsLock = 0xffe5,
    kShiftLock = 0xffe6,
    kMetaL = 0xffe7,
    kMetaR = 0xffe8,
    kAltL = 0xffe9,
    kAltR = 0xffea,
    kSuperL = 0xffeb,
    kSuperR = 0xffec,
    kNumLock = 0xff7f,
    kScrollLock = 0xff14,
    kLevel3Shift = 0xfe03,  // AltGr, the right Alt key on many layouts
};

// Qt's key code as an X keysym, for platforms that report no native key.
quint32 keysymOf(const QKeyEvent& e) {
    if (e.nativeVirtualKey() != 0) return e.nativeVirtualKey();
    switch (e.key()) {
        case Qt::Key_Shift:
            return kShiftL;
        case Qt::Key_Control:
            return kControlL;
        case Qt::Key_Alt:
            return kAltL;
        case Qt::Key_AltGr:
            return kLevel3Shift;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
            return kSuperL;
        case Qt::Key_Super_R:
            return kSuperR;
        case Qt::Key_CapsLock:
            return kCapsLock;
        case Qt::Key_NumLock:
            return kNumLock;
        default:
            return static_cast<quint32>(e.key());  // an ordinary key; only its kind matters
    }
}

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

HotkeyMonitor::HotkeyMonitor(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), recognizer_(monotonicSeconds, defaults) {}

HotkeyMonitor::HotkeyMonitor() : HotkeyMonitor(UserDefaults::standard()) {}

HotkeyMonitor::~HotkeyMonitor() {
    if (watchesOwnWindows_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

std::uint32_t HotkeyMonitor::modifierFlag(quint32 keysym) {
    switch (keysym) {
        case kShiftL:
        case kShiftR:
            return HotkeyRecognizer::shift;
        case kControlL:
        case kControlR:
            return HotkeyRecognizer::control;
        case kAltL:
        case kAltR:
        case kMetaL:
        case kMetaR:
        case kLevel3Shift:
            return HotkeyRecognizer::option;
        case kSuperL:
        case kSuperR:
            return HotkeyRecognizer::command;
        case kCapsLock:
        case kShiftLock:
        case kNumLock:
        case kScrollLock:
            return kIgnoredKey;
        default:
            return 0;
    }
}

void HotkeyMonitor::startMonitoring() {
    startMonitoring(QGuiApplication::platformName());
}

void HotkeyMonitor::startMonitoring(const QString& qtPlatform) {
    if (started_) return;
    started_ = true;
    source_ = std::make_unique<GlobalKeySource>();
    if (source_->start()) {
        global_ = true;
        connect(source_.get(), &GlobalKeySource::keyPressed, this,
                [this](quint32 sym) { keyEvent(sym, true); });
        connect(source_.get(), &GlobalKeySource::keyReleased, this,
                [this](quint32 sym) { keyEvent(sym, false); });
    } else {
        source_.reset();
    }
    // The X display sees our windows only when they are X11 windows on it; otherwise (no
    // display, or Qt on Wayland beside XWayland) watch what reaches them. The two never see the
    // same key: XWayland gets keys only while one of its own windows has the focus.
    if (global_ && qtPlatform == QLatin1String("xcb")) return;
    if (auto* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        watchesOwnWindows_ = true;
    }
}

bool HotkeyMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // A key event reaches the window first and is then passed on to widgets, each pass
        // seen here; only the window's copy is counted.
        if (watched->isWindowType() && key->spontaneous())
            keyEvent(keysymOf(*key), event->type() == QEvent::KeyPress);
    }
    return false;  // never consumed
}

std::uint32_t HotkeyMonitor::heldFlags() const {
    std::uint32_t flags = 0;
    for (quint32 sym : heldModifiers_) flags |= modifierFlag(sym);
    return flags;
}

void HotkeyMonitor::keyEvent(quint32 keysym, bool pressed) {
    const std::uint32_t flag = modifierFlag(keysym);
    if (flag == kIgnoredKey) return;
    if (flag == 0) {
        if (pressed) recognizer_.keyDown();
        return;
    }
    forgetModifiersLetGo(keysym, flag);
    const std::uint32_t before = heldFlags();
    if (pressed)
        heldModifiers_.insert(keysym);
    else
        heldModifiers_.erase(keysym);
    const std::uint32_t after = heldFlags();
    if (after == before) return;  // a repeat, or the other key of the same modifier
    if (recognizer_.flagsChanged(after)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (onTrigger) onTrigger();
            },
            Qt::QueuedConnection);
    }
}

// A release the display never reported (one made while another client held the keyboard on an
// older server) would leave its key held, and every later press of the chosen modifier would
// count as part of a shortcut. So before such a press or release is judged beside other keys
// still held, the server is asked which of them really are.
void HotkeyMonitor::forgetModifiersLetGo(quint32 keysym, std::uint32_t flag) {
    // Keys of our own windows on another display server are not on this one.
    if (!source_ || watchesOwnWindows_) return;
    if (flag != HotkeyRecognizer::chosenFlag(defaults_.stringValue("hotkeyModifier"))) return;
    if (heldModifiers_.empty() || (heldModifiers_.size() == 1 && heldModifiers_.count(keysym)))
        return;
    const std::set<quint32> down = source_->keysHeld();
    const std::uint32_t before = heldFlags();
    std::erase_if(heldModifiers_, [&](quint32 sym) { return sym != keysym && !down.count(sym); });
    // The chosen modifier itself among them: its press ended unseen.
    if (before & ~heldFlags() & flag) recognizer_.releaseMissed();
}
