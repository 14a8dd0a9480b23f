#pragma once
// Collects a D-Bus signal's messages so that tests can wait for one that matches.
// Subscribe before triggering whatever emits the signal.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace testsupport {

class DBusSignalRecorder : public QObject {
    Q_OBJECT
public:
    DBusSignalRecorder(QDBusConnection bus, const QString& service, const QString& path,
                       const QString& interface, const QString& name);
    ~DBusSignalRecorder() override;

    // False when the bus refused the subscription.
    bool isSubscribed() const { return subscribed_; }
    const QList<QDBusMessage>& messages() const { return messages_; }

    // Processes events until a recorded message satisfies match or the time is up.
    std::optional<QDBusMessage> waitFor(const std::function<bool(const QDBusMessage&)>& match,
                                        std::chrono::milliseconds timeout);

private slots:
    void record(const QDBusMessage& message);

private:
    QDBusConnection bus_;
    QString service_, path_, interface_, name_;
    bool subscribed_;
    QList<QDBusMessage> messages_;
};

}  // namespace testsupport
