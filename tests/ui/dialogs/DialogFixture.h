#pragma once
// What the dialog tests share: the stores, the fake service with a signed-in user, waiting for
// a condition, and screenshots kept as artifacts.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QWidget>

#include <functional>

#include <QDBusConnection>

#include "../UiFixture.h"
#include "desktop/CalendarWatcher.h"
#include "engine/RecorderEngine.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "platform/Notifier.h"
#include "service/AuthModel.h"
#include "service/UpdateChecker.h"

namespace dialogtest {

inline bool waitFor(const std::function<bool()>& done, int ms = 15000) {
    for (QDeadlineTimer deadline(ms); !deadline.hasExpired();) {
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

inline void shoot(QWidget& w, const QString& name) {
    w.ensurePolished();
    QCoreApplication::processEvents();
    const QImage img = w.grab().toImage();
    const QString dir = QStringLiteral(TAVRO_ARTIFACT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

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
    RecorderEngine engine{store, defaults};
    AuthModel auth{defaults};
    Notifier notifier{QDBusConnection(QStringLiteral("no-bus"))};
    UpdateChecker updates{"1.0.0", defaults, notifier};
    CalendarWatcher calendar{nullptr, defaults};
    UiContext ctx{store, library, engine, auth, updates, calendar, defaults, dialogs};
};
