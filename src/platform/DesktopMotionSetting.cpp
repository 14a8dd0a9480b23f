#include "platform/DesktopMotionSetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStandardPaths>

#include <charconv>
#include <string_view>
#include <vector>

#include "platform/KdeConfig.h"
#include "platform/SettingsPortal.h"

namespace {

// The portal's keys, by index. GNOME's namespace in the portal is its GSettings schema.
enum PortalKey { gnomeAnimations, kdeFactor, appearanceReduced };
struct Key {
    const char* group;
    const char* name;
};
constexpr Key kKeys[] = {
    {"org.gnome.desktop.interface", "enable-animations"},
    {"org.kde.kdeglobals.KDE", "AnimationDurationFactor"},
    {"org.freedesktop.appearance", "reduced-motion"},
};

}  // namespace

DesktopMotionSetting& DesktopMotionSetting::shared() {
    static DesktopMotionSetting* instance = [] {
        auto* s = new DesktopMotionSetting(
            QDBusConnection::sessionBus(),
            QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation));
        if (auto* app = QCoreApplication::instance()) s->moveToThread(app->thread());
        return s;
    }();
    return *instance;
}

DesktopMotionSetting::DesktopMotionSetting(QDBusConnection bus, QStringList configDirs,
                                           QObject* parent)
    : QObject(parent),
      configDirs_(std::move(configDirs)),
      portal_(new SettingsPortal(std::move(bus), this)),
      files_(new QFileSystemWatcher(this)),
      gnome_(kKeys[gnomeAnimations].group, kKeys[gnomeAnimations].name, "b", [this] {
          gsettingsAnimations_ = gnome_.boolean();
          recompute();
      }) {
    gsettingsAnimations_ = gnome_.boolean();

    connect(files_, &QFileSystemWatcher::fileChanged, this, &DesktopMotionSetting::readKdeglobals);
    connect(files_, &QFileSystemWatcher::directoryChanged, this,
            &DesktopMotionSetting::readKdeglobals);
    readKdeglobals();

    connect(portal_, &SettingsPortal::settingChanged, this, &DesktopMotionSetting::portalValue);
    // A portal started (or replaced) later is asked then; one that leaves takes its answers
    // with it.
    connect(portal_, &SettingsPortal::ownerChanged, this, [this](bool present) {
        forgetPortal();
        if (present) askPortal();
    });
    portal_->follow();
    askPortal();
    recompute();
}

DesktopMotionSetting::~DesktopMotionSetting() = default;

void DesktopMotionSetting::askPortal() {
    QStringList groups;
    for (const Key& key : kKeys) groups << QString::fromLatin1(key.group);
    // No portal, or one that is gone again: the local sources stand.
    portal_->readAll(groups, [this](const SettingsPortal::Values& values) {
        portalAnswered_ = true;
        for (auto group = values.begin(); group != values.end(); ++group)
            for (auto key = group->begin(); key != group->end(); ++key)
                portalValue(group.key(), key.key(), key.value());
    });
}

void DesktopMotionSetting::forgetPortal() {
    portalAnswered_ = false;
    portalAnimations_.reset();
    portalKdeFactor_.reset();
    portalReduced_.reset();
    recompute();
}

// An unreadable value leaves the key to the local sources.
void DesktopMotionSetting::portalValue(const QString& group, const QString& name,
                                       const QVariant& value) {
    const auto is = [&](PortalKey key) {
        return group == QLatin1String(kKeys[key].group) && name == QLatin1String(kKeys[key].name);
    };
    bool ok = false;
    if (is(gnomeAnimations)) {
        portalAnimations_.reset();
        if (value.metaType() == QMetaType::fromType<bool>()) portalAnimations_ = value.toBool();
    } else if (is(kdeFactor)) {
        // KDE's portal hands the entry over as the text it has in kdeglobals.
        const double factor = value.toDouble(&ok);
        portalKdeFactor_.reset();
        if (ok) portalKdeFactor_ = factor;
    } else if (is(appearanceReduced)) {
        // 1 asks for reduced motion; any other value means no preference.
        const uint level = value.toUInt(&ok);
        portalReduced_.reset();
        if (ok) portalReduced_ = level == 1;
    } else {
        return;
    }
    recompute();
}

void DesktopMotionSetting::readKdeglobals() {
    std::optional<double> factor;
    QStringList files, dirs;
    for (const QString& dir : configDirs_) {
        if (!QFileInfo(dir).isDir()) continue;
        dirs << dir;
        const QString path = QDir(dir).filePath(QStringLiteral("kdeglobals"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        files << path;
        const QByteArray text = file.readAll();
        // The first file that sets it wins, as KDE's own cascade does.
        if (!factor) factor = kdeAnimationFactor(std::string_view(text.constData(), text.size()));
    }
    // Editors and KDE replace the file by renaming a new one over it, which ends the watch on
    // the old file; the folder's change brings the new one back in.
    for (const QString& path : files)
        if (!files_->files().contains(path)) files_->addPath(path);
    for (const QString& dir : dirs)
        if (!files_->directories().contains(dir)) files_->addPath(dir);
    fileKdeFactor_ = factor;
    recompute();
}

void DesktopMotionSetting::recompute() {
    struct Answer {
        bool reduce;
        Source from;
    };
    // The portal's answers first, then GSettings' and the file's where the portal has none.
    std::vector<Answer> answers;
    if (portalReduced_) answers.push_back({*portalReduced_, Source::portal});
    if (portalAnimations_) answers.push_back({!*portalAnimations_, Source::portal});
    if (portalKdeFactor_) answers.push_back({*portalKdeFactor_ <= 0, Source::portal});
    if (!portalAnimations_ && gsettingsAnimations_)
        answers.push_back({!*gsettingsAnimations_, Source::gsettings});
    if (!portalKdeFactor_ && fileKdeFactor_)
        answers.push_back({*fileKdeFactor_ <= 0, Source::kdeglobals});

    bool reduce = false;
    Source from = answers.empty() ? Source::none : answers.front().from;
    for (const Answer& a : answers) {
        if (!a.reduce) continue;
        reduce = true;
        from = a.from;
        break;
    }
    source_ = from;
    if (reduce == reduce_) return;
    reduce_ = reduce;
    Q_EMIT changed();
}

std::optional<double> DesktopMotionSetting::kdeAnimationFactor(std::string_view text) {
    const std::optional<std::string> value =
        KdeConfig::entry(text, "KDE", "AnimationDurationFactor");
    if (!value || value->empty()) return std::nullopt;
    double factor = 0;
    const char* end = value->data() + value->size();
    const auto [rest, error] = std::from_chars(value->data(), end, factor);
    // One that is not a number leaves KDE on its default.
    if (error != std::errc() || rest != end) return std::nullopt;
    return factor;
}
