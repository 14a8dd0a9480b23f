#include "platform/SettingsPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <utility>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

QVariant unwrap(QVariant v) {
    while (v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}

}  // namespace

SettingsPortal::SettingsPortal(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void SettingsPortal::readOne(const QString& ns, const QString& key,
                             std::function<void(const QVariant&)> done) {
    const auto value = [done](const QDBusMessage& reply) {
        done(reply.type() == QDBusMessage::ReplyMessage ? unwrap(reply.arguments().value(0))
                                                        : QVariant());
    };
    // ReadOne answers the value itself; portals before version 2 only have Read, which wraps
    // it in one more variant.
    call(QStringLiteral("ReadOne"), {ns, key}, [this, ns, key, value](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ErrorMessage &&
            QDBusError(reply).type() == QDBusError::UnknownMethod)
            return call(QStringLiteral("Read"), {ns, key}, value);
        value(reply);
    });
}

void SettingsPortal::readAll(const QStringList& namespaces,
                             std::function<void(const Values&)> done) {
    call(QStringLiteral("ReadAll"), {namespaces}, [done](const QDBusMessage& reply) {
        const auto argument = reply.arguments().value(0).value<QDBusArgument>();
        if (reply.type() != QDBusMessage::ReplyMessage ||
            argument.currentSignature() != QLatin1String("a{sa{sv}}"))
            return;
        Values values;
        argument >> values;
        for (QVariantMap& group : values)
            for (QVariant& value : group) value = unwrap(value);
        done(values);
    });
}

void SettingsPortal::follow() {
    if (!bus_.isConnected()) return;
    // The slot's QDBusVariant is looked up by name, which knows the type only once it is
    // registered; without that the subscription fails.
    qRegisterMetaType<QDBusVariant>();
    bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    auto* owner =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& now) {
                ++generation_;
                Q_EMIT ownerChanged(!now.isEmpty());
            });
}

void SettingsPortal::onSettingChanged(const QString& ns, const QString& key,
                                      const QDBusVariant& value) {
    Q_EMIT settingChanged(ns, key, unwrap(value.variant()));
}

void SettingsPortal::call(const QString& method, const QVariantList& arguments,
                          std::function<void(const QDBusMessage&)> answered) {
    if (!bus_.isConnected()) return answered(QDBusMessage());  // no answer, said at once
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, answered = std::move(answered),
             generation = generation_](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation == generation_) answered(w->reply());
            });
}
