#pragma once
// The long-lived services of the application, created once in a fixed order and wired
// together: the hotkey toggles the recorder, and a starting meeting shows the prompt. They live
// until the process ends.
#include <QObject>

class CalendarStore;
class CalendarWatcher;
class HotkeyMonitor;
class LibraryStore;
class MinutesStore;
class PillController;
class RecorderEngine;
class AuthModel;
class UserDefaults;

class AppServices : public QObject {
    Q_OBJECT
public:
    // The process-wide container over the standard settings and data folder; created on first
    // use, thread-safely, and never released.
    static AppServices& shared();

    // A container of its own, for tests. The services are this object's children, in the order
    // they were created. `calendarStore` (default: the desktop's calendar service) becomes the
    // calendar watcher's.
    explicit AppServices(UserDefaults& defaults, CalendarStore* calendarStore = nullptr,
                         QObject* parent = nullptr);
    ~AppServices() override;

    MinutesStore& store() const { return *store_; }
    RecorderEngine& recorder() const { return *recorder_; }
    AuthModel& auth() const { return *auth_; }
    LibraryStore& library() const { return *library_; }
    HotkeyMonitor& hotkey() const { return *hotkey_; }
    PillController& pill() const { return *pill_; }
    CalendarWatcher& calendar() const { return *calendar_; }
    UserDefaults& defaults() const { return defaults_; }

private:
    UserDefaults& defaults_;
    HotkeyMonitor* hotkey_ = nullptr;
    CalendarWatcher* calendar_ = nullptr;
    MinutesStore* store_ = nullptr;
    LibraryStore* library_ = nullptr;
    RecorderEngine* recorder_ = nullptr;
    AuthModel* auth_ = nullptr;
    PillController* pill_ = nullptr;
};
