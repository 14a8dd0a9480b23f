#pragma once
// What the dialog tests share: the stores, the fake service with a signed-in user, waiting for
// a condition, and screenshots kept as artifacts.
#include <QCoreApplication>

#include "../Screenshots.h"
#include "../UiFixture.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"

namespace dialogtest {

using uitest::shoot;
using uitest::waitFor;

}  // namespace dialogtest

class ServiceFixture : public StoresFixture {
protected:
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};

    void SetUp() override { qputenv("TAVRO_REDUCE_MOTION", "1"); }
    void TearDown() override {
        qunsetenv("TAVRO_REDUCE_MOTION");
        // Sheets and models closed by the test body go now, not in a later test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void logIn() { defaults.set("authToken", service.issueToken("owner@example.com")); }
};

// Everything the main window is built with.
class WindowFixture : public ServiceFixture {
protected:
    WindowServices services{store, library, defaults, dialogs};
    UiContext& ctx = services.ctx;
};
