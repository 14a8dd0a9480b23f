#pragma once
// The user's calendars: which exist, what is in them, and when they change. The desktop reads
// calendars only through this interface, so its rules can be checked against a fake.
#include <QObject>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/CalendarEvent.h"
#include "platform/CalendarSource.h"

class CalendarStore : public QObject {
    Q_OBJECT
public:
    // `denied`: the store refused this program; `unavailable`: no store could be reached.
    enum class Authorization { notDetermined, granted, denied, unavailable };

    using AccessCallback = std::function<void(bool granted)>;
    using EventsCallback = std::function<void(std::vector<CalendarEvent> events)>;

    explicit CalendarStore(QObject* parent = nullptr) : QObject(parent) {}
    ~CalendarStore() override = default;

    // Access as last established; never blocks.
    virtual Authorization authorization() const = 0;
    // Establishes access. `done` runs later on this object's thread; afterwards authorization()
    // tells a refusal from an unreachable store.
    virtual void requestAccess(AccessCallback done) = 0;
    // Every event calendar, in the store's order.
    virtual std::vector<CalendarSource> calendars() const = 0;
    // Occurrences overlapping [from, to) of the given calendars (all calendars when absent; an
    // empty list gives nothing), in the store's order. `done` runs on this object's thread,
    // possibly before the call returns.
    virtual void fetchEvents(std::chrono::system_clock::time_point from,
                             std::chrono::system_clock::time_point to,
                             std::optional<std::vector<std::string>> calendarIdentifiers,
                             EventsCallback done) = 0;

Q_SIGNALS:
    // Calendars or their contents changed, here or in another program.
    void changed();
};
