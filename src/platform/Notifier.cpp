#include "platform/Notifier.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include "util/Uuid.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

Notifier& Notifier::shared() {
    static Notifier* instance = [] {
        auto* n = new Notifier(QDBusConnection::sessionBus());
        if (auto* app = QCoreApplication::instance()) n->moveToThread(app->thread());
        return n;
    }();
    return *instance;
}

Notifier::Notifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    // Subscribed before anything is posted, so that no click can be missed.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onClosed(uint, uint)));
}

bool Notifier::available() const {
    return bus_.isConnected() && bus_.interface() &&
           bus_.interface()->isServiceRegistered(kService).value();
}

void Notifier::post(const QString& identifier, const QString& title, const QString& body) {
    if (QThread::currentThread() == thread()) {
        send(identifier, title, body);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, identifier, title, body] { send(identifier, title, body); },
        Qt::QueuedConnection);
}

void Notifier::send(const QString& identifier, const QString& title, const QString& body) {
    if (!bus_.isConnected()) return;
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    msg.setArguments({QStringLiteral("TAVRO"), uint(0), QString(), title, body,
                      QStringList{QStringLiteral("default"), QStringLiteral("開く")},
                      QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tavro")}},
                      int(-1)});
    // Asynchronous: a missing or hung server must never stall the caller.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(msg), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<uint> reply = *w;
                if (!reply.isError()) identifiers_.insert(reply.value(), identifier);
                w->deleteLater();
            });
}

void Notifier::onActionInvoked(uint id, const QString& actionKey) {
    if (actionKey != QLatin1String("default")) return;
    const auto it = identifiers_.constFind(id);
    if (it != identifiers_.constEnd()) emit clicked(*it);
}

void Notifier::onClosed(uint id, uint) {
    identifiers_.remove(id);
}

void notify(const std::string& title, const std::string& body) {
    Notifier::shared().post(QString::fromStdString(uuid::make()), QString::fromStdString(title),
                            QString::fromStdString(body));
}
