#pragma once
// A stand-in for the desktop settings portal on the test session bus: it owns the portal's name
// on a connection of its own, answers ReadAll from the values it holds and announces each
// change with SettingChanged, as the desktop's portal does. The name is given up at destruction.
#include <QDBusConnection>
#include <QDBusVariant>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace testsupport {

class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    // `values`: namespace → key → value, what the portal knows from the start.
    explicit FakeSettingsPortal(QMap<QString, QVariantMap> values = {});
    ~FakeSettingsPortal() override;

    // The name and the object are on the bus.
    bool registered() const { return registered_; }
    // Changes a value and announces it.
    void set(const QString& group, const QString& key, const QVariant& value);

public Q_SLOTS:
    QMap<QString, QVariantMap> ReadAll(const QStringList& groups);

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QString connectionName_;
    QDBusConnection bus_;
    QMap<QString, QVariantMap> values_;
    bool registered_ = false;
};

}  // namespace testsupport
