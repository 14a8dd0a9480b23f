#pragma once
// A calendar store in memory: answers at once, records what it was asked.
#include <QTimer>

#include "platform/CalendarStore.h"

class FakeCalendarStore : public CalendarStore {
public:
    Authorization auth = Authorization::notDetermined;
    bool grants = true;
    Authorization refusal = Authorization::denied;  // what a request that fails leaves
    int accessRequests = 0;
    std::vector<CalendarSource> sources;
    std::vector<CalendarEvent> events;
    std::vector<std::optional<std::vector<std::string>>> queries;

    Authorization authorization() const override { return auth; }

    void requestAccess(AccessCallback done) override {
        ++accessRequests;
        auth = grants ? Authorization::granted : refusal;
        QTimer::singleShot(0, this, [done, granted = grants] { done(granted); });
    }

    std::vector<CalendarSource> calendars() const override { return sources; }

    void fetchEvents(std::chrono::system_clock::time_point from,
                     std::chrono::system_clock::time_point to,
                     std::optional<std::vector<std::string>> ids, EventsCallback done) override {
        queries.push_back(ids);
        std::vector<CalendarEvent> out;
        for (const CalendarEvent& e : events) {
            if (ids && std::find(ids->begin(), ids->end(), e.calendarIdentifier) == ids->end())
                continue;
            const auto start = e.startDate.value_or(e.endDate);
            if (start < to && (e.endDate > from || start >= from)) out.push_back(e);
        }
        done(std::move(out));
    }

    void emitChanged() { Q_EMIT changed(); }
};
