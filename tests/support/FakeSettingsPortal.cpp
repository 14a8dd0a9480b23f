#include "support/FakeSettingsPortal.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>

#include <atomic>

namespace testsupport {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

QString nextConnectionName() {
    static std::atomic<int> n{0};
    return QStringLiteral("tavro-fake-settings-portal-%1").arg(++n);
}

}  // namespace

FakeSettingsPortal::FakeSettingsPortal(QMap<QString, QVariantMap> values, uint version)
    : connectionName_(nextConnectionName()),
      bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)),
      values_(std::move(values)),
      version_(version) {
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    registered_ =
        bus_.isConnected() &&
        bus_.registerObject(kPath, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) &&
        bus_.registerService(kService);
}

FakeSettingsPortal::~FakeSettingsPortal() {
    bus_.unregisterService(kService);
    bus_.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(connectionName_);
}

void FakeSettingsPortal::set(const QString& group, const QString& key, const QVariant& value) {
    values_[group][key] = value;
    emit SettingChanged(group, key, QDBusVariant(value));
}

QMap<QString, QVariantMap> FakeSettingsPortal::ReadAll(const QStringList& groups) {
    calls_ << QStringLiteral("ReadAll");
    QMap<QString, QVariantMap> out;
    for (const QString& group : groups)
        if (values_.contains(group)) out.insert(group, values_.value(group));
    return out;
}

QDBusVariant FakeSettingsPortal::ReadOne(const QString& group, const QString& key) {
    calls_ << QStringLiteral("ReadOne");
    if (version_ < 2) {
        sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"));
        return {};
    }
    return value(group, key);
}

QDBusVariant FakeSettingsPortal::Read(const QString& group, const QString& key) {
    calls_ << QStringLiteral("Read");
    return QDBusVariant(QVariant::fromValue(value(group, key)));
}

// A setting it does not know is an error.
QDBusVariant FakeSettingsPortal::value(const QString& group, const QString& key) {
    if (values_.value(group).contains(key)) return QDBusVariant(values_[group][key]);
    sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                   QStringLiteral("Requested setting not found"));
    return {};
}

}  // namespace testsupport
