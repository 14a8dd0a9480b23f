#pragma once
// What the test notification server was shown after a point in time. Other test processes share
// the server, so only notifications newer than the watch's start count.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <optional>
#include <vector>

#include "support/TestNotificationServer.h"

class NotificationWatch {
public:
    NotificationWatch() {
        if (auto all = testsupport::TestNotificationServer::notifications())
            for (const auto& n : *all) since_ = std::max(since_, n.id);
    }

    // Our notifications (app "TAVRO") shown since the start, after waiting up to `ms` for at
    // least `count` of them.
    std::vector<testsupport::RecordedNotification> shown(std::size_t count = 1,
                                                         int ms = 3000) const {
        std::vector<testsupport::RecordedNotification> found;
        QDeadlineTimer deadline(ms);
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            found.clear();
            if (auto all = testsupport::TestNotificationServer::notifications())
                for (const auto& n : *all)
                    if (n.id > since_ && n.appName == "TAVRO") found.push_back(n);
        } while (found.size() < count && !deadline.hasExpired());
        return found;
    }

private:
    uint since_ = 0;
};
