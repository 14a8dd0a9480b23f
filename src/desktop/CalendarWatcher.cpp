#include "desktop/CalendarWatcher.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>

#include "platform/EdsCalendarStore.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

using namespace std::chrono_literals;
using SystemClock = std::chrono::system_clock;

CalendarWatcher::CalendarWatcher(QObject* parent)
    : CalendarWatcher(nullptr, UserDefaults::standard(), {}, parent) {
    store_ = new EdsCalendarStore(this);
}

CalendarWatcher::CalendarWatcher(CalendarStore* store, UserDefaults& defaults, Clock clock,
                                 QObject* parent)
    : QObject(parent), store_(store), defaults_(defaults), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return SystemClock::now(); };
}

CalendarWatcher::~CalendarWatcher() {
    stop();
}

bool CalendarWatcher::enabled() const {
    return defaults_.boolOr(kWatchKey, true);
}

bool CalendarWatcher::hasExplicitCalendarSelection() const {
    return defaults_.contains(kSelectedCalendarsKey);
}

std::set<std::string> CalendarWatcher::selectedCalendarIDs() const {
    std::set<std::string> ids;
    const auto stored = defaults_.arrayValue(kSelectedCalendarsKey);
    if (!stored) return ids;
    for (const DefaultsValue& v : *stored) {
        const std::string* s = v.get<std::string>();
        // A list with anything but strings in it is no selection list.
        if (s == nullptr) return {};
        ids.insert(*s);
    }
    return ids;
}

void CalendarWatcher::storeSelection(const std::set<std::string>& ids) {
    DefaultsArray list;
    for (const std::string& id : ids) list.emplace_back(id);  // std::set keeps them ascending
    defaults_.set(kSelectedCalendarsKey, std::move(list));
    refreshSnapshot();
}

std::optional<std::vector<std::string>> CalendarWatcher::queryCalendars(
    bool explicitSelection, const std::set<std::string>& ids) const {
    if (!explicitSelection) return std::nullopt;
    std::vector<std::string> chosen;
    for (const CalendarSource& c : store_->calendars()) {
        if (ids.count(c.identifier)) chosen.push_back(c.identifier);
    }
    return chosen;
}

void CalendarWatcher::setAccess(Access access) {
    if (access_ == access) return;
    access_ = access;
    Q_EMIT accessChanged();
}

void CalendarWatcher::setUpcomingMeetings(std::vector<CalendarMeeting> meetings) {
    if (upcomingMeetings_ == meetings) return;
    upcomingMeetings_ = std::move(meetings);
    Q_EMIT upcomingMeetingsChanged();
}

void CalendarWatcher::refreshAccessState() {
    if (!store_) return;
    switch (store_->authorization()) {
        case CalendarStore::Authorization::notDetermined:
            setAccess(Access::unknown);
            break;
        case CalendarStore::Authorization::granted:
            setAccess(Access::granted);
            break;
        case CalendarStore::Authorization::denied:
            setAccess(Access::denied);
            break;
        case CalendarStore::Authorization::unavailable:
            setAccess(Access::unavailable);
            break;
    }
}

void CalendarWatcher::start() {
    refreshAccessState();
    if (!enabled() || !store_) return;
    QPointer<CalendarWatcher> self(this);
    store_->requestAccess([self](bool granted) {
        if (!self) return;
        if (!granted) {
            // Only a store that says it refused is a refusal.
            const bool refused = self->store_ && self->store_->authorization() ==
                                                     CalendarStore::Authorization::denied;
            self->setAccess(refused ? Access::denied : Access::unavailable);
            return;
        }
        self->setAccess(Access::granted);
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self) self->startPolling();
            },
            Qt::QueuedConnection);
    });
}

void CalendarWatcher::startPolling() {
    if (timer_) return;
    refreshSnapshot();
    tick();
    timer_ = new QTimer(this);
    timer_->setInterval(kPollInterval);
    connect(timer_, &QTimer::timeout, this, &CalendarWatcher::tick);
    timer_->start();
    if (store_) {
        storeConnection_ =
            connect(store_.data(), &CalendarStore::changed, this, &CalendarWatcher::storeChanged);
    }
}

void CalendarWatcher::stop() {
    if (timer_) {
        timer_->stop();
        delete timer_;
        timer_ = nullptr;
    }
    disconnect(storeConnection_);
}

void CalendarWatcher::storeChanged() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshSnapshot();
            tick();
        },
        Qt::QueuedConnection);
}

void CalendarWatcher::refreshSnapshot() {
    const std::uint64_t generation = ++snapshotGeneration_;
    if (access_ != Access::granted || !store_) {
        if (!calendars_.empty()) {
            calendars_.clear();
            Q_EMIT calendarsChanged();
        }
        setUpcomingMeetings({});
        return;
    }

    struct Keyed {
        std::string source;
        std::string title;
        CalendarDescriptor descriptor;
    };
    std::vector<Keyed> keyed;
    for (const CalendarSource& c : store_->calendars()) {
        CalendarDescriptor d = makeCalendarDescriptor(c);
        keyed.push_back({text::nfc(d.sourceTitle), text::nfc(d.title), std::move(d)});
    }
    // Byte order of UTF-8 is code point order: a plain, locale-free comparison.
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.source != b.source) return a.source < b.source;
        return a.title < b.title;
    });
    std::vector<CalendarDescriptor> descriptors;
    for (Keyed& k : keyed) descriptors.push_back(std::move(k.descriptor));
    if (descriptors != calendars_) {
        calendars_ = std::move(descriptors);
        Q_EMIT calendarsChanged();
    }

    const bool explicitSelection = hasExplicitCalendarSelection();
    const std::set<std::string> ids = selectedCalendarIDs();
    if (explicitSelection && ids.empty()) {
        setUpcomingMeetings({});
        return;
    }
    const SystemClock::time_point now = clock_();
    const qint64 nowMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    // A week in calendar days, so a change of daylight saving time keeps the same clock time.
    const QDateTime weekAhead = QDateTime::fromMSecsSinceEpoch(nowMs).addDays(7);
    const SystemClock::time_point end =
        weekAhead.isValid()
            ? SystemClock::time_point(std::chrono::milliseconds(weekAhead.toMSecsSinceEpoch()))
            : now + 604800s;

    QPointer<CalendarWatcher> self(this);
    store_->fetchEvents(now, end, queryCalendars(explicitSelection, ids),
                        [self, generation](std::vector<CalendarEvent> events) {
                            if (!self || generation != self->snapshotGeneration_) return;
                            std::vector<CalendarMeeting> meetings;
                            for (const CalendarEvent& e : events) {
                                // Nothing to place on a timeline without a start.
                                if (e.status == CalendarEventStatus::canceled || !e.startDate)
                                    continue;
                                meetings.push_back(makeMeeting(e));
                            }
                            std::stable_sort(
                                meetings.begin(), meetings.end(),
                                [](const CalendarMeeting& a, const CalendarMeeting& b) {
                                    return a.startDate < b.startDate;
                                });
                            self->setUpcomingMeetings(std::move(meetings));
                        });
}

void CalendarWatcher::tick() {
    if (!enabled() || access_ != Access::granted || !store_) return;
    const SystemClock::time_point now = clock_();
    const bool explicitSelection = hasExplicitCalendarSelection();
    const std::set<std::string> ids = selectedCalendarIDs();
    if (explicitSelection && ids.empty()) return;
    QPointer<CalendarWatcher> self(this);
    store_->fetchEvents(now - 180s, now + 180s, queryCalendars(explicitSelection, ids),
                        [self, now](std::vector<CalendarEvent> events) {
                            if (self) self->announceStarting(events, now);
                        });
}

void CalendarWatcher::announceStarting(const std::vector<CalendarEvent>& events,
                                       SystemClock::time_point now) {
    QPointer<CalendarWatcher> self(this);
    for (const CalendarEvent& e : events) {
        if (e.isAllDay || e.status == CalendarEventStatus::canceled || !e.startDate) continue;
        const SystemClock::time_point start = *e.startDate;
        // Starting within two minutes, or begun less than three minutes ago.
        if (!(start - now < 120s && now - start < 180s)) continue;
        const auto me = std::find_if(e.attendees.begin(), e.attendees.end(),
                                     [](const CalendarParticipant& p) { return p.isCurrentUser; });
        if (me != e.attendees.end() && me->status == ParticipantStatus::declined) continue;

        std::string key = e.externalIdentifier ? *e.externalIdentifier
                          : e.eventIdentifier  ? *e.eventIdentifier
                          : e.title            ? *e.title
                                               : std::string("?");
        key += "-" + meetingStartText(start);
        if (prompted_.count(key)) continue;
        prompted_[key] = start;

        DefaultsArray names;
        for (const CalendarParticipant& p : e.attendees) {
            if (p.isCurrentUser || p.status == ParticipantStatus::declined || !p.name) continue;
            std::string name = text::trim(*p.name);
            if (!name.empty()) names.emplace_back(std::move(name));
        }
        defaults_.set(kParticipantsKey, std::move(names));

        if (onMeetingStart) {
            onMeetingStart(e.title.value_or("会議"));
            // The callback may have ended this watcher.
            if (!self) return;
        }
    }
    std::erase_if(prompted_, [now](const auto& entry) { return entry.second <= now - 600s; });
}

bool CalendarWatcher::isCalendarSelected(const std::string& id) const {
    if (!hasExplicitCalendarSelection()) return true;
    return selectedCalendarIDs().count(id) > 0;
}

void CalendarWatcher::setCalendar(const std::string& id, bool selected) {
    std::set<std::string> ids;
    if (hasExplicitCalendarSelection()) {
        ids = selectedCalendarIDs();
    } else {
        // The first explicit choice keeps every other calendar selected.
        for (const CalendarDescriptor& c : calendars_) ids.insert(c.id);
    }
    if (selected) {
        ids.insert(id);
    } else {
        ids.erase(id);
    }
    storeSelection(ids);
}

void CalendarWatcher::selectAllCalendars() {
    defaults_.remove(kSelectedCalendarsKey);
    refreshSnapshot();
}
