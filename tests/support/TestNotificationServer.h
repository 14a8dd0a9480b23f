#pragma once
// Client side of the test notification server (tests/support/notifyserver): what was notified,
// and clicks on notifications as a user would make them.
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace testsupport {

struct RecordedNotification {
    uint id = 0;
    QString appName;
    uint replacesId = 0;
    QString summary;
    QString body;
    QStringList actions;    // key, label, key, label, ...
    QStringList textHints;  // "key=value" for each hint that is text
    int expireTimeout = -1;
    bool open = false;  // still showing
    QString sender;     // the caller's unique bus name
};

class TestNotificationServer {
public:
    // Every Notify call the server has seen, oldest first; nullopt if the server did not answer.
    // Other test processes share the server, so look for your own ids or app name.
    static std::optional<std::vector<RecordedNotification>> notifications();
    // The records with this id (a replaced notification keeps its id).
    static std::vector<RecordedNotification> notificationsWithId(uint id);
    // Emits ActionInvoked(id, "default"); false if the id is not showing.
    static bool click(uint id);
    static bool invokeAction(uint id, const QString& actionKey);
    // Closes it as the user would (NotificationClosed reason 2).
    static bool dismiss(uint id);
};

}  // namespace testsupport
