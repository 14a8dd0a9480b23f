#pragma once
// Desktop notifications over the freedesktop Notifications service on the session bus.
// A notification posted as one that opens something offers the "default" action ("開く"); a
// click on it comes back as clicked() with the identifier given at posting. The others offer no
// action, so that no server shows a button that would do nothing.
#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>

class Notifier : public QObject {
    Q_OBJECT
public:
    // The process-wide notifier on the session bus, living on the application's main thread.
    static Notifier& shared();

    explicit Notifier(QDBusConnection bus, QObject* parent = nullptr);

    enum class Click { ignored, opens };

    // Shows a notification at once. Safe from any thread; never blocks and never fails loudly:
    // without a notification server nothing is shown.
    void post(const QString& identifier, const QString& title, const QString& body,
              Click click = Click::ignored);

    // Whether a notification server is there to show anything.
    bool available() const;

    // The theme event every notification asks the server to play ("sound-name" hint).
    static constexpr const char* kSoundName = "message-new-instant";
    // Plays that sound where the server says it plays none (no "sound" capability). The default
    // plays it from the desktop's sound theme; tests put their own.
    void setSoundPlayer(std::function<void()> player);

signals:
    void clicked(const QString& identifier);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onClosed(uint id, uint reason);

private:
    struct Pending {
        QString identifier, title, body;
        Click click = Click::ignored;
    };
    void send(Pending notification);
    void sendNext();
    void notify(const Pending& notification, const QStringList& capabilities);

    QDBusConnection bus_;
    // Server ids of clickable notifications still showing, to our identifiers.
    QHash<uint, QString> identifiers_;
    std::deque<Pending> pending_;  // the front one is being sent
    std::function<void()> playSound_;
};

// Posts a notification with a fresh identifier; used for every message of the engine.
void notify(const std::string& title, const std::string& body);
