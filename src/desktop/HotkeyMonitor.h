#pragma once
// The global hotkey: a double press of the chosen modifier key ("hotkeyModifier",
// "hotkeyInterval") runs onTrigger on the main thread. Keys come from the X display's raw key
// events, which on Wayland (XWayland) cover X11 windows only; wherever that leaves out this
// application's own windows (no X display, or Qt on Wayland), their key events are watched as
// well, so the double press always works at least while a TAVRO window has the focus.
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>

#include "desktop/HotkeyRecognizer.h"

class GlobalKeySource;
class UserDefaults;

class HotkeyMonitor : public QObject {
    Q_OBJECT
public:
    explicit HotkeyMonitor(UserDefaults& defaults, QObject* parent = nullptr);
    HotkeyMonitor();  // over UserDefaults::standard()
    ~HotkeyMonitor() override;

    // Run, queued on this object's thread, on every recognised double press.
    std::function<void()> onTrigger = [] {};

    // Starts listening; called once at launch. `qtPlatform` is the platform this application's
    // windows are on (by default the running one): only on "xcb" does the X display see them.
    void startMonitoring();
    void startMonitoring(const QString& qtPlatform);
    // Whether keys of other applications are seen (an X display was found).
    bool isGlobal() const { return global_; }

    // One raw key event, by X keysym. Public so that other key sources can feed it.
    void keyEvent(quint32 keysym, bool pressed);

    // The modifier flag a keysym stands for, 0 for an ordinary key, or kIgnoredKey for keys
    // that are neither (caps lock and other lock keys).
    static std::uint32_t modifierFlag(quint32 keysym);
    static constexpr std::uint32_t kIgnoredKey = 0xFFFFFFFF;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::uint32_t heldFlags() const;
    void forgetModifiersLetGo(quint32 keysym, std::uint32_t flag);

    UserDefaults& defaults_;
    HotkeyRecognizer recognizer_;
    std::unique_ptr<GlobalKeySource> source_;
    std::set<quint32> heldModifiers_;
    bool global_ = false;
    bool watchesOwnWindows_ = false;
    bool started_ = false;
};
