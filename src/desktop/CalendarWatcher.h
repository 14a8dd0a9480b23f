#pragma once
// Watches the user's calendars: lists them with the coming week's meetings, and announces a
// meeting once as it starts, leaving its other attendees' names for the recording.
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/CalendarDescriptor.h"
#include "desktop/CalendarMeeting.h"
#include "platform/CalendarStore.h"

class QTimer;
class UserDefaults;

class CalendarWatcher : public QObject {
    Q_OBJECT
public:
    // `unavailable`: no calendar service answers, which is not the user's refusal.
    enum class Access { unknown, granted, denied, unavailable };
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    static constexpr const char* kWatchKey = "calendarWatch";
    static constexpr const char* kSelectedCalendarsKey = "calendarSelectedIdentifiers";
    static constexpr const char* kParticipantsKey = "calendarMeetingParticipants";
    static constexpr std::chrono::milliseconds kPollInterval{30000};

    // The desktop's calendar service and the standard settings.
    explicit CalendarWatcher(QObject* parent = nullptr);
    // `store` must outlive the watcher (or be its child).
    CalendarWatcher(CalendarStore* store, UserDefaults& defaults, Clock clock = {},
                    QObject* parent = nullptr);
    ~CalendarWatcher() override;

    Access access() const { return access_; }
    const std::vector<CalendarDescriptor>& calendars() const { return calendars_; }
    const std::vector<CalendarMeeting>& upcomingMeetings() const { return upcomingMeetings_; }
    bool isPolling() const { return timer_ != nullptr; }

    // Refreshes access and, while watching is on, asks for access and begins polling.
    void start();
    // Ends polling; what was published stays.
    void stop();
    // Rebuilds `calendars` now and `upcomingMeetings` when the store answers.
    void refreshSnapshot();

    bool isCalendarSelected(const std::string& id) const;
    void setCalendar(const std::string& id, bool selected);
    void selectAllCalendars();

    // Called on the main thread with the title of a meeting that is starting.
    std::function<void(const std::string& title)> onMeetingStart;

    // The meeting-start check run by the 30 s timer.
    void tick();

Q_SIGNALS:
    void accessChanged();
    void calendarsChanged();
    void upcomingMeetingsChanged();

private:
    bool enabled() const;
    bool hasExplicitCalendarSelection() const;
    std::set<std::string> selectedCalendarIDs() const;
    void storeSelection(const std::set<std::string>& ids);
    // The calendars to query: nullopt for all; the selected ones in the store's order.
    std::optional<std::vector<std::string>> queryCalendars(bool explicitSelection,
                                                           const std::set<std::string>& ids) const;

    void refreshAccessState();
    void setAccess(Access access);
    void setUpcomingMeetings(std::vector<CalendarMeeting> meetings);
    void startPolling();
    void storeChanged();
    void announceStarting(const std::vector<CalendarEvent>& events,
                          std::chrono::system_clock::time_point now);

    QPointer<CalendarStore> store_;
    UserDefaults& defaults_;
    Clock clock_;
    Access access_ = Access::unknown;
    std::vector<CalendarDescriptor> calendars_;
    std::vector<CalendarMeeting> upcomingMeetings_;
    QTimer* timer_ = nullptr;
    QMetaObject::Connection storeConnection_;
    std::map<std::string, std::chrono::system_clock::time_point> prompted_;
    // Only the newest snapshot request may publish.
    std::uint64_t snapshotGeneration_ = 0;
};
