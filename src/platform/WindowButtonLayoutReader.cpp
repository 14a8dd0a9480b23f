#include "platform/WindowButtonLayoutReader.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <utility>

#include "platform/GnomeSetting.h"
#include "platform/KdeConfig.h"
#include "platform/SettingsPortal.h"
#include "platform/XSettings.h"

namespace {

enum class Family { gnome, kde, xfce, cinnamon, mate, other };

// The first name in XDG_CURRENT_DESKTOP that this reader knows decides.
Family familyOf(const QString& currentDesktop) {
    for (const QString& name : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString n = name.trimmed().toLower();
        if (n.startsWith(QLatin1String("gnome")) || n == QLatin1String("unity"))
            return Family::gnome;
        if (n == QLatin1String("kde")) return Family::kde;
        if (n == QLatin1String("xfce")) return Family::xfce;
        if (n == QLatin1String("x-cinnamon") || n == QLatin1String("cinnamon"))
            return Family::cinnamon;
        if (n == QLatin1String("mate")) return Family::mate;
    }
    return Family::other;
}

QByteArray fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<WindowButtonLayout> fromGnomeText(const std::optional<std::string>& text) {
    return text ? WindowButtonLayout::parse(*text) : std::nullopt;
}

}  // namespace

WindowButtonLayoutReader::Session WindowButtonLayoutReader::Session::current() {
    return {qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
            QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)};
}

WindowButtonLayoutReader::WindowButtonLayoutReader(QDBusConnection bus, QObject* parent)
    : WindowButtonLayoutReader(std::move(bus), Session::current(), parent) {}

WindowButtonLayoutReader::WindowButtonLayoutReader(QDBusConnection bus, const Session& session,
                                                   QObject* parent)
    : QObject(parent) {
    const Family family = familyOf(session.currentDesktop);
    std::optional<WindowButtonLayout> read;
    const GnomeSetting gnome(kSchema, kKey, "s");
    const bool gnomeDecides = family == Family::gnome || gnome.userSet();
    if (gnomeDecides) {
        read = fromGnomeText(gnome.text());
        source_ = Source::gnome;
    } else if (family == Family::kde) {
        read = fromKwin(session.configDirs);
        source_ = Source::kwin;
    } else if (family == Family::xfce) {
        read = fromXfconf(session.configDirs);
        source_ = Source::xfwm;
    } else if (family == Family::cinnamon) {
        read = fromGnomeText(GnomeSetting("org.cinnamon.desktop.wm.preferences", kKey, "s").text());
        source_ = Source::cinnamon;
    } else if (family == Family::mate) {
        read = fromGnomeText(GnomeSetting("org.mate.Marco.general", kKey, "s").text());
        source_ = Source::mate;
    }
    if (!read) {
        read = fromGnomeText(XSettings::text("Gtk/DecorationLayout"));
        source_ = Source::xsettings;
    }
    if (!read) source_ = Source::standard;
    layout_ = read.value_or(WindowButtonLayout::standard());
    if (gnomeDecides) askPortal(std::move(bus));
}

void WindowButtonLayoutReader::askPortal(QDBusConnection bus) {
    waiting_ = true;
    auto* portal = new SettingsPortal(std::move(bus), this);
    portal->readOne(
        QString::fromLatin1(kSchema), QString::fromLatin1(kKey), [this](const QVariant& value) {
            // No portal, or one without the setting: what was read here stands.
            const auto read = value.typeId() == QMetaType::QString
                                  ? WindowButtonLayout::parse(value.toString().toStdString())
                                  : std::nullopt;
            if (read) source_ = Source::gnome;
            if (read && *read != layout_) {
                layout_ = *read;
                Q_EMIT layoutChanged();
            }
            waiting_ = false;
        });
}

std::optional<std::string> WindowButtonLayoutReader::fromGSettings() {
    return GnomeSetting(kSchema, kKey, "s").text();
}

std::optional<WindowButtonLayout> WindowButtonLayoutReader::fromKwin(
    const QStringList& configDirs) const {
    // Each key from the first file that sets it, as KDE's own cascade reads them; KDE's own
    // defaults where none does.
    std::optional<std::string> left, right;
    for (const QString& dir : configDirs) {
        const QByteArray text = fileText(QDir(dir).filePath(QStringLiteral("kwinrc")));
        const std::string_view view(text.constData(), std::size_t(text.size()));
        if (!left) left = KdeConfig::entry(view, "org.kde.kdecoration2", "ButtonsOnLeft");
        if (!right) right = KdeConfig::entry(view, "org.kde.kdecoration2", "ButtonsOnRight");
    }
    return WindowButtonLayout::fromKwin(left.value_or("MS"), right.value_or("HIAX"));
}

std::optional<WindowButtonLayout> WindowButtonLayoutReader::fromXfconf(
    const QStringList& configDirs) const {
    for (const QString& dir : configDirs) {
        QXmlStreamReader xml(fileText(
            QDir(dir).filePath(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml/xfwm4.xml"))));
        // The property's path in the channel, as /general/button_layout.
        QStringList path;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("property") &&
                !path.isEmpty())
                path.removeLast();
            if (token != QXmlStreamReader::StartElement || xml.name() != QLatin1String("property"))
                continue;
            path << xml.attributes().value(QLatin1String("name")).toString();
            if (path == QStringList{QStringLiteral("general"), QStringLiteral("button_layout")})
                return WindowButtonLayout::fromXfwm(
                    xml.attributes().value(QLatin1String("value")).toString().toStdString());
        }
    }
    return WindowButtonLayout::fromXfwm("O|HMC");  // the window manager's default
}
