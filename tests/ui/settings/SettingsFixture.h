#pragma once
// What the settings tab tests share: a context over real stores, the fake service, waiting for
// a condition, finding a label, and saving a picture of a tab as a build artifact.
#include <QCoreApplication>
#include <QLabel>

#include "../Screenshots.h"
#include "../UiFixture.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "service/ServiceCall.h"

namespace settingstest {

using uitest::shoot;
using uitest::waitFor;

// The label that shows `text` exactly; nullptr when none does.
inline const QLabel* labelShowing(const QWidget* root, const QString& text) {
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

// Every worker call has ended and its answer has reached its receiver.
inline void settle() {
    ASSERT_TRUE(servicecall_detail::pool()->waitForDone(20000));
    QCoreApplication::processEvents();
}

class SettingsFixture : public StoresFixture {
protected:
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    WindowServices services{store, library, defaults, dialogs};
    UiContext& ctx = services.ctx;
};

}  // namespace settingstest
