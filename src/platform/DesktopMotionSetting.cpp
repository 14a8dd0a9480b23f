#include "platform/DesktopMotionSetting.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStandardPaths>

#include <gio/gio.h>

#include <charconv>
#include <functional>
#include <string_view>
#include <vector>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

// The portal's keys, by index.
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

constexpr const char* kGnomeSchema = "org.gnome.desktop.interface";
constexpr const char* kGnomeKey = "enable-animations";

// A value may come wrapped in variants once more than its type says.
QVariant unwrap(QVariant v) {
    while (v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}

std::string_view trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

// Without trailing option marks such as "[$i]" (immutable), which do not change the name.
std::string_view withoutOptions(std::string_view s) {
    while (s.ends_with(']')) {
        const size_t open = s.rfind("[$");
        if (open == std::string_view::npos) break;
        s = trim(s.substr(0, open));
    }
    return s;
}

}  // namespace

// GNOME's key through GSettings, with its change signal turned into a callback.
struct DesktopMotionSetting::GnomeSettings {
    GSettings* settings = nullptr;
    gulong handler = 0;
    std::function<void()> changed;

    // Nothing when the schema or its boolean key is not installed.
    static std::unique_ptr<GnomeSettings> open(std::function<void()> changed) {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* schema =
            source ? g_settings_schema_source_lookup(source, kGnomeSchema, TRUE) : nullptr;
        if (!schema) return nullptr;
        bool boolean = false;
        if (g_settings_schema_has_key(schema, kGnomeKey)) {
            GSettingsSchemaKey* key = g_settings_schema_get_key(schema, kGnomeKey);
            boolean = g_variant_type_equal(g_settings_schema_key_get_value_type(key),
                                           G_VARIANT_TYPE_BOOLEAN);
            g_settings_schema_key_unref(key);
        }
        std::unique_ptr<GnomeSettings> out;
        if (boolean) {
            out = std::make_unique<GnomeSettings>();
            out->changed = std::move(changed);
            out->settings = g_settings_new_full(schema, nullptr, nullptr);
            out->handler = g_signal_connect(out->settings, "changed::enable-animations",
                                            G_CALLBACK(&GnomeSettings::onChanged), out.get());
        }
        g_settings_schema_unref(schema);
        return out;
    }

    static void onChanged(GSettings*, const gchar*, gpointer self) {
        static_cast<GnomeSettings*>(self)->changed();
    }

    bool animations() const { return g_settings_get_boolean(settings, kGnomeKey); }

    ~GnomeSettings() {
        g_signal_handler_disconnect(settings, handler);
        g_object_unref(settings);
    }
};

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
      bus_(std::move(bus)),
      configDirs_(std::move(configDirs)),
      portalWatcher_(
          new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this)),
      files_(new QFileSystemWatcher(this)) {
    gnome_ = GnomeSettings::open([this] {
        gsettingsAnimations_ = gnome_->animations();
        recompute();
    });
    // Read once the handler is connected: GSettings reports changes only of keys read since.
    if (gnome_) gsettingsAnimations_ = gnome_->animations();

    connect(files_, &QFileSystemWatcher::fileChanged, this, &DesktopMotionSetting::readKdeglobals);
    connect(files_, &QFileSystemWatcher::directoryChanged, this,
            &DesktopMotionSetting::readKdeglobals);
    readKdeglobals();

    if (bus_.isConnected()) {
        // The slot's QDBusVariant is looked up by name, which knows the type only once it is
        // registered; without that the subscription fails.
        qRegisterMetaType<QDBusVariant>();
        bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(onSettingChanged(QString, QString, QDBusVariant)));
        // A portal started (or replaced) later is asked then; one that leaves takes its
        // answers with it.
        connect(portalWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& owner) {
                    forgetPortal();
                    if (!owner.isEmpty()) askPortal();
                });
        askPortal();
    }
    recompute();
}

DesktopMotionSetting::~DesktopMotionSetting() = default;

void DesktopMotionSetting::askPortal() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ReadAll"));
    QStringList groups;
    for (const Key& key : kKeys) groups << QString::fromLatin1(key.group);
    call << groups;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation = portalGeneration_](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                // No portal, or one that is gone again: the local sources stand.
                if (generation != portalGeneration_ || reply.type() != QDBusMessage::ReplyMessage ||
                    reply.arguments().isEmpty())
                    return;
                const QVariant answer = reply.arguments().front();
                if (answer.metaType() != QMetaType::fromType<QDBusArgument>()) return;
                const QDBusArgument argument = answer.value<QDBusArgument>();
                if (argument.currentSignature() != QLatin1String("a{sa{sv}}")) return;
                QMap<QString, QVariantMap> groups;
                argument >> groups;
                portalAnswered_ = true;
                for (int i : {gnomeAnimations, kdeFactor, appearanceReduced}) {
                    const QVariantMap group = groups.value(QString::fromLatin1(kKeys[i].group));
                    portalValue(i, unwrap(group.value(QString::fromLatin1(kKeys[i].name))));
                }
            });
}

void DesktopMotionSetting::forgetPortal() {
    ++portalGeneration_;
    portalAnswered_ = false;
    portalAnimations_.reset();
    portalKdeFactor_.reset();
    portalReduced_.reset();
    recompute();
}

void DesktopMotionSetting::onSettingChanged(const QString& group, const QString& key,
                                            const QDBusVariant& value) {
    for (int i : {gnomeAnimations, kdeFactor, appearanceReduced}) {
        if (group == QLatin1String(kKeys[i].group) && key == QLatin1String(kKeys[i].name))
            portalValue(i, unwrap(value.variant()));
    }
}

// An absent or unreadable value leaves the key to the local sources.
void DesktopMotionSetting::portalValue(int key, const QVariant& value) {
    bool ok = false;
    switch (key) {
        case gnomeAnimations:
            portalAnimations_.reset();
            if (value.metaType() == QMetaType::fromType<bool>()) portalAnimations_ = value.toBool();
            break;
        case kdeFactor: {
            // KDE's portal hands the entry over as the text it has in kdeglobals.
            const double factor = value.toDouble(&ok);
            portalKdeFactor_.reset();
            if (ok) portalKdeFactor_ = factor;
            break;
        }
        case appearanceReduced: {
            // 1 asks for reduced motion; any other value means no preference.
            const uint level = value.toUInt(&ok);
            portalReduced_.reset();
            if (ok) portalReduced_ = level == 1;
            break;
        }
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
    std::optional<double> found;
    bool inGroup = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup = withoutOptions(line) == "[KDE]";
            continue;
        }
        const size_t eq = line.find('=');
        if (!inGroup || eq == std::string_view::npos) continue;
        // A language tag ("Key[de]") makes another entry; option marks ("Key[$i]") do not.
        if (withoutOptions(trim(line.substr(0, eq))) != "AnimationDurationFactor") continue;
        const std::string_view value = trim(line.substr(eq + 1));
        double factor = 0;
        const auto [rest, error] =
            std::from_chars(value.data(), value.data() + value.size(), factor);
        // The last entry wins; one that is not a number leaves the factor unset, as it would
        // leave KDE on its default.
        found.reset();
        if (error == std::errc() && rest == value.data() + value.size() && !value.empty())
            found = factor;
    }
    return found;
}
