#include "support/DBusSignalRecorder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace testsupport {

DBusSignalRecorder::DBusSignalRecorder(QDBusConnection bus, const QString& service,
                                       const QString& path, const QString& interface,
                                       const QString& name)
    : bus_(bus), service_(service), path_(path), interface_(interface), name_(name) {
    subscribed_ =
        bus_.connect(service_, path_, interface_, name_, this, SLOT(record(QDBusMessage)));
}

DBusSignalRecorder::~DBusSignalRecorder() {
    if (subscribed_)
        bus_.disconnect(service_, path_, interface_, name_, this, SLOT(record(QDBusMessage)));
}

std::optional<QDBusMessage> DBusSignalRecorder::waitFor(
    const std::function<bool(const QDBusMessage&)>& match, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    qsizetype checked = 0;
    for (;;) {
        for (; checked < messages_.size(); ++checked)
            if (match(messages_[checked])) return messages_[checked];
        if (deadline.hasExpired()) return std::nullopt;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

void DBusSignalRecorder::record(const QDBusMessage& message) {
    messages_.append(message);
}

}  // namespace testsupport
