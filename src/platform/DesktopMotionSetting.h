#pragma once
// The desktop's own setting to reduce motion, read where the desktop keeps it and followed while
// the app runs:
//   - GNOME's "enable-animations" of org.gnome.desktop.interface (false asks for stillness),
//     through the desktop settings portal when the portal knows it, else through GSettings when
//     that schema is installed;
//   - KDE's AnimationDurationFactor of the [KDE] group of kdeglobals (0 asks for stillness),
//     through the portal when it knows it, else from the kdeglobals file;
//   - the portal's desktop-neutral "reduced-motion" of org.freedesktop.appearance (1 asks).
// Any of them asking for stillness is enough. The portal is asked without blocking (a portal
// that is being started can take seconds): until it answers, or when it never does, the local
// sources stand.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

#include "platform/GnomeSetting.h"

class QFileSystemWatcher;
class SettingsPortal;

class DesktopMotionSetting : public QObject {
    Q_OBJECT
public:
    // Where the answer comes from. `none`: this desktop keeps no such setting where TAVRO can
    // read it, and motion stays on.
    enum class Source { none, portal, gsettings, kdeglobals };

    // The process-wide reader on the session bus and the user's configuration folders, living on
    // the application's main thread.
    static DesktopMotionSetting& shared();

    // `configDirs`: the folders searched for kdeglobals, the one that wins first (the user's own,
    // then the system's).
    DesktopMotionSetting(QDBusConnection bus, QStringList configDirs, QObject* parent = nullptr);
    ~DesktopMotionSetting() override;

    bool reduceMotion() const { return reduce_; }
    Source source() const { return source_; }
    // The settings portal has answered on the session bus (with whichever of the keys it keeps).
    bool portalAnswered() const { return portalAnswered_; }

    // AnimationDurationFactor of the [KDE] group in the text of a kdeglobals file, when it is
    // set to a number there.
    static std::optional<double> kdeAnimationFactor(std::string_view kdeglobals);

Q_SIGNALS:
    // reduceMotion() turned.
    void changed();

private:
    void askPortal();
    void forgetPortal();
    void portalValue(const QString& group, const QString& name, const QVariant& value);
    void readKdeglobals();
    void recompute();

    QStringList configDirs_;
    SettingsPortal* portal_;
    QFileSystemWatcher* files_;
    GnomeSetting gnome_;
    bool portalAnswered_ = false;

    // What each source says; nothing where it has no answer.
    std::optional<bool> portalAnimations_;  // GNOME's enable-animations through the portal
    std::optional<double> portalKdeFactor_;
    std::optional<bool> portalReduced_;  // org.freedesktop.appearance reduced-motion
    std::optional<bool> gsettingsAnimations_;
    std::optional<double> fileKdeFactor_;

    bool reduce_ = false;
    Source source_ = Source::none;
};
