#pragma once
// What the settings tab tests share: a context over real stores, the fake service, waiting for
// a condition, and saving a picture of a tab as a build artifact.
#include <QCoreApplication>

#include "../Screenshots.h"
#include "../UiFixture.h"
#include "desktop/CalendarWatcher.h"
#include "engine/RecorderEngine.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "platform/Notifier.h"
#include "service/AuthModel.h"
#include "service/ServiceCall.h"
#include "service/UpdateChecker.h"

namespace settingstest {

using uitest::shoot;
using uitest::waitFor;

// Every worker call has ended and its answer has reached its receiver.
inline void settle() {
    ASSERT_TRUE(servicecall_detail::pool()->waitForDone(20000));
    QCoreApplication::processEvents();
}

class SettingsFixture : public StoresFixture {
protected:
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    RecorderEngine engine{store, defaults};
    AuthModel auth{defaults};
    Notifier notifier{QDBusConnection(QStringLiteral("no-bus"))};
    UpdateChecker updates{"1.0.0", defaults, notifier};
    CalendarWatcher calendar{nullptr, defaults};
    UiContext ctx{store, library, engine, auth, updates, calendar, defaults, dialogs};
};

}  // namespace settingstest
