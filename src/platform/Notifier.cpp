#include "platform/Notifier.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "platform/SystemSound.h"
#include "util/Uuid.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Servers with "body-markup" read <, > and & as markup; a title from the service must show as
// written, never as a link or formatting.
QString escapedMarkup(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

}  // namespace

Notifier& Notifier::shared() {
    static Notifier* instance = [] {
        auto* n = new Notifier(QDBusConnection::sessionBus());
        if (auto* app = QCoreApplication::instance()) n->moveToThread(app->thread());
        return n;
    }();
    return *instance;
}

Notifier::Notifier(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      playSound_([] { SystemSound::playEvent(kSoundName); }) {
    // Subscribed before anything is posted, so that no click can be missed.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onClosed(uint, uint)));
}

void Notifier::setSoundPlayer(std::function<void()> player) {
    playSound_ = std::move(player);
}

bool Notifier::available() const {
    return bus_.isConnected() && bus_.interface() &&
           bus_.interface()->isServiceRegistered(kService).value();
}

void Notifier::post(const QString& identifier, const QString& title, const QString& body,
                    Click click) {
    // Always through the notifier's event queue, also from its own thread: a post from a worker
    // thread that is still queued must not be overtaken by a later one from this thread.
    QMetaObject::invokeMethod(
        this, [this, next = Pending{identifier, title, body, click}] { send(next); },
        Qt::QueuedConnection);
}

// One notification at a time, so that they reach the server in the order they were posted.
void Notifier::send(Pending notification) {
    pending_.push_back(std::move(notification));
    if (pending_.size() == 1) sendNext();
}

void Notifier::sendNext() {
    if (pending_.empty()) return;
    if (!bus_.isConnected()) {
        pending_.clear();
        return;
    }
    // Asked before each notification, as the server may have been replaced since the last one.
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QStringList> reply = *w;
        w->deleteLater();
        const Pending next = pending_.front();
        pending_.pop_front();
        if (!reply.isError()) notify(next, reply.value());
        sendNext();
    });
}

void Notifier::notify(const Pending& n, const QStringList& capabilities) {
    const bool markup = capabilities.contains(QStringLiteral("body-markup"));
    const bool serverPlaysSound = capabilities.contains(QStringLiteral("sound"));
    const bool opens = n.click == Click::opens;
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    msg.setArguments(
        {QStringLiteral("TAVRO"), uint(0), QString(), n.title,
         markup ? escapedMarkup(n.body) : n.body,
         opens ? QStringList{QStringLiteral("default"), QStringLiteral("開く")} : QStringList{},
         QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("tavro")},
                     {QStringLiteral("sound-name"), QString::fromLatin1(kSoundName)}},
         int(-1)});
    // Asynchronous: a missing or hung server must never stall the caller.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(msg), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier = n.identifier, opens, serverPlaysSound](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                if (reply.isError()) return;
                if (opens) identifiers_.insert(reply.value(), identifier);
                if (!serverPlaysSound && playSound_) playSound_();
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
