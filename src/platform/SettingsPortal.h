#pragma once
// The desktop's settings portal on a bus, asked without blocking: a portal that is being started
// can take seconds to answer. Values come out of the extra variants some portals wrap them in.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class QDBusMessage;
class QDBusVariant;

class SettingsPortal : public QObject {
    Q_OBJECT
public:
    using Values = QMap<QString, QVariantMap>;  // namespace → key → value

    explicit SettingsPortal(QDBusConnection bus, QObject* parent = nullptr);

    // One key's value; an invalid one where no portal answers or it does not keep the key, at
    // once where the bus is not connected.
    void readOne(const QString& ns, const QString& key, std::function<void(const QVariant&)> done);
    // What the portal keeps of these namespaces; `done` is not called where no portal answers.
    void readAll(const QStringList& namespaces, std::function<void(const Values&)> done);
    // From now on, settingChanged and ownerChanged are emitted.
    void follow();

Q_SIGNALS:
    void settingChanged(const QString& ns, const QString& key, const QVariant& value);
    // A portal started, left or was replaced. Answers still out from the one before are dropped.
    void ownerChanged(bool present);

private Q_SLOTS:
    void onSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value);

private:
    void call(const QString& method, const QVariantList& arguments,
              std::function<void(const QDBusMessage&)> answered);

    QDBusConnection bus_;
    int generation_ = 0;
};
