#pragma once
// What the window tests share: a recorder that changes phase on command, dialogs that answer at
// once, real stores in a temporary home, and the fake service with still frames.
#include <QCoreApplication>
#include <QDBusConnection>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "desktop/CalendarWatcher.h"
#include "engine/RecorderControl.h"
#include "engine/RecorderEngine.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "platform/Notifier.h"
#include "service/AuthModel.h"
#include "service/UpdateChecker.h"
#include "support/TempDir.h"
#include "ui/UiContext.h"
#include "util/UserDefaults.h"

class ScriptedRecorder : public RecorderControl {
    Q_OBJECT
public:
    Phase phase() const override { return phase_; }
    int elapsed() const override { return elapsed_; }
    void toggle() override { ++toggles; }
    void start() override {}

    void set(Phase phase, int elapsed = 0) {
        phase_ = phase;
        elapsed_ = elapsed;
        emit phaseChanged();
        emit elapsedChanged();
    }

    int toggles = 0;

private:
    Phase phase_ = Phase::idle;
    int elapsed_ = 0;
};

// Answers every question at once and keeps what was asked.
class ScriptedDialogs : public Dialogs {
public:
    struct Question {
        QString title, message, button;
    };

    bool confirm(const QString& title, const QString& message,
                 const QString& destructiveButton) override {
        asked.push_back({title, message, destructiveButton});
        if (onConfirm) onConfirm();
        return answer;
    }
    std::optional<std::string> openAudioFile() override {
        ++filePanels;
        return audioFile;
    }
    std::optional<std::string> openDocumentFile() override {
        ++filePanels;
        return documentFile;
    }
    std::optional<std::string> saveFile(const QString& proposedName, const QString& message,
                                        const QString& extension) override {
        savePanels.push_back({proposedName, message, extension});
        return saveAnswer;
    }

    bool answer = true;
    std::function<void()> onConfirm;  // runs while the question is open
    std::optional<std::string> audioFile;
    std::optional<std::string> documentFile;
    std::vector<Question> asked;
    int filePanels = 0;
    std::vector<Question> savePanels;  // proposed name, message, extension
    std::optional<std::string> saveAnswer;
};

class StoresFixture : public ::testing::Test {
protected:
    testsupport::ScopedHome home;
    UserDefaults defaults{home.home() / "defaults.json"};
    MinutesStore store{defaults, home.home() / "data", home.home() / "legacy"};
    LibraryStore library{home.home() / "data", defaults};
    ScriptedDialogs dialogs;

    // A stored record with this title and some searchable text; newest first in the store.
    const MinutesRecord& addRecord(const std::string& title, const std::string& summary = "") {
        MinutesResult r;
        r.title = title;
        r.summary = summary.empty() ? title + "の要約" : summary;
        store.add(r, "minutes", title + ".m4a");
        QCoreApplication::processEvents();
        return store.records().front();
    }
};

// The services a window is built with over the fixture's stores; notifications go nowhere.
struct WindowServices {
    WindowServices(MinutesStore& store, LibraryStore& library, UserDefaults& defaults,
                   Dialogs& dialogs, CalendarStore* calendarStore = nullptr)
        : engine(store, defaults),
          auth(defaults),
          updates("1.0.0", defaults, notifier),
          calendar(calendarStore, defaults),
          ctx{store, library, engine, auth, updates, calendar, defaults, dialogs} {}

    RecorderEngine engine;
    AuthModel auth;
    Notifier notifier{QDBusConnection(QStringLiteral("no-bus"))};
    UpdateChecker updates;
    CalendarWatcher calendar;
    UiContext ctx;
};

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
