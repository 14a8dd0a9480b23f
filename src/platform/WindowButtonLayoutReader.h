#pragma once
// The running desktop's layout of window buttons, read where that desktop keeps it:
//   - GNOME (and the desktops built on its window settings): "button-layout" of
//     org.gnome.desktop.wm.preferences, from GSettings at once, then asked of the settings
//     portal, whose answer comes later and wins where it has the setting (it also reaches the
//     host's setting from a sandbox). Also elsewhere where someone set that key: the schema is
//     installed on nearly every desktop, but its default is no desktop's choice;
//   - KDE: ButtonsOnLeft and ButtonsOnRight of kwinrc;
//   - XFCE: button_layout of the xfwm4 channel as xfconf stores it;
//   - Cinnamon and MATE: the "button-layout" keys of their own window managers' schemas;
//   - elsewhere: Gtk/DecorationLayout of the X settings, where a settings daemon sets it.
// Where none of these has a layout that names a button, the standard layout.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

#include "platform/WindowButtonLayout.h"

class WindowButtonLayoutReader : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSchema = "org.gnome.desktop.wm.preferences";
    static constexpr const char* kKey = "button-layout";

    // Where a desktop's settings are looked for.
    struct Session {
        QString currentDesktop;  // as XDG_CURRENT_DESKTOP: names, colon separated
        QStringList configDirs;  // searched for kwinrc and xfconf's files, the user's first
        static Session current();
    };
    enum class Source { gnome, kwin, xfwm, cinnamon, mate, xsettings, standard };

    explicit WindowButtonLayoutReader(QDBusConnection bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);
    WindowButtonLayoutReader(QDBusConnection bus, const Session& session,
                             QObject* parent = nullptr);

    const WindowButtonLayout& layout() const { return layout_; }
    Source source() const { return source_; }
    // While the portal's answer is still out.
    bool waiting() const { return waiting_; }

    // GNOME's setting's text through GSettings; nothing where its schema is not installed.
    static std::optional<std::string> fromGSettings();

Q_SIGNALS:
    void layoutChanged();

private:
    void askPortal(QDBusConnection bus);
    std::optional<WindowButtonLayout> fromKwin(const QStringList& configDirs) const;
    std::optional<WindowButtonLayout> fromXfconf(const QStringList& configDirs) const;

    WindowButtonLayout layout_;
    Source source_ = Source::standard;
    bool waiting_ = false;
};
