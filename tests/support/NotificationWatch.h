#pragma once
// What the test notification server was shown after a point in time. Other test processes share
// the server, so only notifications newer than the watch's start count.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <string>
#include <vector>

#include "support/TestNotificationServer.h"

class NotificationWatch {
public:
    NotificationWatch() {
        if (auto all = testsupport::TestNotificationServer::notifications())
            for (const auto& n : *all) since_ = std::max(since_, n.id);
    }

    // The newer notifications with this title, once there is one or `ms` have passed.
    std::vector<testsupport::RecordedNotification> find(const QString& title, int ms = 3000) const {
        std::vector<testsupport::RecordedNotification> found;
        for (QDeadlineTimer deadline(ms); found.empty() && !deadline.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (auto all = testsupport::TestNotificationServer::notifications())
                for (const auto& n : *all)
                    if (n.id > since_ && n.summary == title) found.push_back(n);
        }
        return found;
    }

    // Every newer notification, for a failure's message.
    std::string seen() const {
        std::string text;
        if (auto all = testsupport::TestNotificationServer::notifications())
            for (const auto& n : *all)
                if (n.id > since_)
                    text += "\n  " + n.summary.toStdString() + ": " + n.body.toStdString();
        return text.empty() ? " none" : text;
    }

private:
    uint since_ = 0;
};
