#include "ui/main/dialogs/SoundSettings.h"

#include <QStandardPaths>
#include <QString>

#include <cstdlib>

#include "platform/ChildProcess.h"

namespace {

struct Candidate {
    const char* desktop;  // a word of XDG_CURRENT_DESKTOP, or "" for any desktop
    const char* program;
    std::vector<std::string> arguments;
};

const std::vector<Candidate>& candidates() {
    static const std::vector<Candidate> list = {
        {"GNOME", "gnome-control-center", {"sound"}},
        {"Unity", "gnome-control-center", {"sound"}},
        {"KDE", "systemsettings", {"kcm_pulseaudio"}},
        {"X-Cinnamon", "cinnamon-settings", {"sound"}},
        {"MATE", "mate-volume-control", {}},
        {"", "pavucontrol", {}},
        {"", "pavucontrol-qt", {}},
        {"", "gnome-control-center", {"sound"}},
    };
    return list;
}

std::optional<SoundSettings> installed(const Candidate& c) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
    if (path.isEmpty()) return std::nullopt;
    return SoundSettings{path.toStdString(), c.arguments};
}

}  // namespace

std::optional<SoundSettings> SoundSettings::find(const std::string& desktop) {
    const QStringList words = QString::fromStdString(desktop).split(u':', Qt::SkipEmptyParts);
    for (const Candidate& c : candidates()) {
        if (*c.desktop == '\0' || !words.contains(QString::fromLatin1(c.desktop))) continue;
        if (auto found = installed(c)) return found;
    }
    for (const Candidate& c : candidates()) {
        if (*c.desktop != '\0') continue;
        if (auto found = installed(c)) return found;
    }
    return std::nullopt;
}

std::optional<SoundSettings> SoundSettings::find() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return find(desktop ? desktop : "");
}

bool SoundSettings::open() const {
    ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    options.environment = ChildProcess::currentEnvironment();
    options.newSession = true;
    // Reaped by its own watcher; the settings window lives on its own.
    return ChildProcess::spawn(options) != nullptr;
}
