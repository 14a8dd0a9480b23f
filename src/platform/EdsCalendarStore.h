#pragma once
// CalendarStore over evolution-data-server, the desktop's own calendar service. Everything
// talks to the service asynchronously or on a worker thread: the UI never waits on D-Bus.
#include <memory>

#include "platform/CalendarStore.h"

class EdsCalendarStore : public CalendarStore {
    Q_OBJECT
public:
    explicit EdsCalendarStore(QObject* parent = nullptr);
    ~EdsCalendarStore() override;

    Authorization authorization() const override;
    void requestAccess(AccessCallback done) override;
    std::vector<CalendarSource> calendars() const override;
    void fetchEvents(std::chrono::system_clock::time_point from,
                     std::chrono::system_clock::time_point to,
                     std::optional<std::vector<std::string>> calendarIdentifiers,
                     EventsCallback done) override;

    struct Private;

private:
    std::unique_ptr<Private> d_;
};
