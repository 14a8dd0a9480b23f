#pragma once
// The global hotkey: a double press of the chosen modifier key ("hotkeyModifier",
// "hotkeyInterval") runs onTrigger on the main thread, from any application. Keys come from the
// X display's raw key events; without an X display (Wayland alone) only key events of this
// application's own windows are seen, so the hotkey then works only while it is active.
#include <QObject>

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

    // Starts listening; called once at launch.
    void startMonitoring();
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

    HotkeyRecognizer recognizer_;
    std::unique_ptr<GlobalKeySource> source_;
    std::set<quint32> heldModifiers_;
    bool global_ = false;
    bool started_ = false;
};
