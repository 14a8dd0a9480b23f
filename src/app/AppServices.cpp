#include "app/AppServices.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <mutex>

#include "desktop/CalendarWatcher.h"
#include "desktop/FloatingPanel.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/PillController.h"
#include "engine/RecorderEngine.h"
#include "library/DataDirectory.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "platform/EdsCalendarStore.h"
#include "service/AuthModel.h"
#include "util/UserDefaults.h"

AppServices& AppServices::shared() {
    static std::once_flag once;
    static AppServices* instance = nullptr;
    std::call_once(once, [] { instance = new AppServices(UserDefaults::standard()); });
    return *instance;
}

AppServices::AppServices(UserDefaults& defaults, CalendarStore* calendarStore, QObject* parent)
    : QObject(parent), defaults_(defaults) {
    hotkey_ = new HotkeyMonitor(defaults_, this);
    // The desktop's calendar service belongs to the watcher, and so is not a service of its own.
    auto* eds = calendarStore ? nullptr : new EdsCalendarStore();
    calendar_ = new CalendarWatcher(calendarStore ? calendarStore : eds, defaults_, {}, this);
    if (eds) eds->setParent(calendar_);
    store_ = new MinutesStore(defaults_, this);
    library_ =
        new LibraryStore(tavroDataDirectory(), defaults_, LibraryFileSystem::standard(), {}, this);
    recorder_ = new RecorderEngine(*store_, defaults_, this);
    auth_ = new AuthModel(defaults_, this);
    pill_ = new PillController(*recorder_, defaults_, this);

    hotkey_->onTrigger = [recorder = recorder_] { recorder->toggle(); };
    // Always a hop through the event loop, also when reported on the main thread, so that the
    // prompt appears after the work in progress.
    calendar_->onMeetingStart = [pill = pill_](const std::string& title) {
        QMetaObject::invokeMethod(
            pill, [pill, text = QString::fromStdString(title)] { pill->showMeetingPrompt(text); },
            Qt::QueuedConnection);
    };
}

AppServices::~AppServices() {
    // Later services hold references to earlier ones, so they go first.
    for (QObject* service : std::initializer_list<QObject*>{pill_, auth_, recorder_, library_,
                                                            store_, calendar_, hotkey_})
        delete service;
}
