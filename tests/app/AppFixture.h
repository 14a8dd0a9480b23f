#pragma once
// One application's worth of services over a throwaway home, the fake service and a calendar in
// memory, for the launch tests.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "app/AppServices.h"
#include "desktop/CalendarWatcher.h"
#include "support/FakeCalendarStore.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "support/TempDir.h"
#include "ui/UiContext.h"
#include "util/UserDefaults.h"

// Answers the windows' questions at once.
class ScriptedDialogs : public Dialogs {
public:
    bool confirmAnswer = true;
    std::optional<std::string> audioFile;
    int opened = 0;

    bool confirm(const QString&, const QString&, const QString&) override { return confirmAnswer; }
    std::optional<std::string> openAudioFile() override {
        ++opened;
        return audioFile;
    }
};

inline bool waitUntil(const std::function<bool()>& done, int ms) {
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired();) {
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

class AppFixture : public ::testing::Test {
protected:
    testsupport::ScopedHome home;
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    UserDefaults defaults{home.home() / "defaults.json"};
    FakeCalendarStore* calendarStore = nullptr;  // the watcher's, once the services exist
    ScriptedDialogs dialogs;

    AppFixture() {
        // The update check stays on the fake service.
        defaults.set("updateFeedURL", service.baseUrl() + "/version.json");
    }

    AppServices& services() {
        if (!services_) {
            calendarStore = new FakeCalendarStore;
            services_ = std::make_unique<AppServices>(defaults, calendarStore);
            calendarStore->setParent(&services_->calendar());
        }
        return *services_;
    }

private:
    std::unique_ptr<AppServices> services_;
};
