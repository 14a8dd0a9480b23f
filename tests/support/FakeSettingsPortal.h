#pragma once
// A stand-in for the desktop settings portal on the test session bus: it owns the portal's name
// on a connection of its own, answers ReadAll, ReadOne and Read from the values it holds and
// announces each change with SettingChanged, as the desktop's portal does. As a portal before
// version 2 it has no ReadOne. The name is given up at destruction.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace testsupport {

class FakeSettingsPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
    Q_PROPERTY(uint version READ version)
public:
    // `values`: namespace → key → value, what the portal knows from the start.
    explicit FakeSettingsPortal(QMap<QString, QVariantMap> values = {}, uint version = 2);
    ~FakeSettingsPortal() override;

    // The name and the object are on the bus.
    bool registered() const { return registered_; }
    uint version() const { return version_; }
    // The methods called on it, in order.
    const QStringList& calls() const { return calls_; }
    // Changes a value and announces it.
    void set(const QString& group, const QString& key, const QVariant& value);

public Q_SLOTS:
    QMap<QString, QVariantMap> ReadAll(const QStringList& groups);
    QDBusVariant ReadOne(const QString& group, const QString& key);
    // The value wrapped in one more variant.
    QDBusVariant Read(const QString& group, const QString& key);

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusVariant value(const QString& group, const QString& key);

    QString connectionName_;
    QDBusConnection bus_;
    QMap<QString, QVariantMap> values_;
    uint version_;
    QStringList calls_;
    bool registered_ = false;
};

}  // namespace testsupport
