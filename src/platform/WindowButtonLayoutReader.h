#pragma once
// The desktop's layout of window buttons ("button-layout" of org.gnome.desktop.wm.preferences):
// read from GSettings at once, then asked of the desktop's settings portal, whose answer comes
// later and wins where it has the setting (it also reaches the host's setting from a sandbox).
// Where neither has it, the standard layout.
#include <QDBusConnection>
#include <QObject>

#include <optional>
#include <string>

#include "platform/WindowButtonLayout.h"

class WindowButtonLayoutReader : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSchema = "org.gnome.desktop.wm.preferences";
    static constexpr const char* kKey = "button-layout";

    explicit WindowButtonLayoutReader(QDBusConnection bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);

    const WindowButtonLayout& layout() const { return layout_; }
    // While the portal's answer is still out.
    bool waiting() const { return waiting_; }

    // The setting's text through GSettings; nothing where its schema is not installed.
    static std::optional<std::string> fromGSettings();

Q_SIGNALS:
    void layoutChanged();

private:
    WindowButtonLayout layout_;
    bool waiting_ = true;
};
