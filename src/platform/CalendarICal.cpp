#include "platform/CalendarICal.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace {

using Clock = std::chrono::system_clock;

std::optional<std::string> nonEmpty(const char* s) {
    if (s == nullptr || *s == '\0') return std::nullopt;
    return std::string(s);
}

// The unescaped value of a property; present (maybe empty) whenever the property is.
std::optional<std::string> textProperty(icalcomponent* comp, icalproperty_kind kind,
                                        const char* (*get)(const icalproperty*)) {
    icalproperty* prop = icalcomponent_get_first_property(comp, kind);
    if (prop == nullptr) return std::nullopt;
    const char* value = get(prop);
    return std::string(value != nullptr ? value : "");
}

ParticipantStatus statusOf(icalproperty* prop) {
    icalparameter* p = icalproperty_get_first_parameter(prop, ICAL_PARTSTAT_PARAMETER);
    // Without PARTSTAT an attendee has not answered yet.
    if (p == nullptr) return ParticipantStatus::pending;
    switch (icalparameter_get_partstat(p)) {
        case ICAL_PARTSTAT_NEEDSACTION:
            return ParticipantStatus::pending;
        case ICAL_PARTSTAT_ACCEPTED:
            return ParticipantStatus::accepted;
        case ICAL_PARTSTAT_DECLINED:
            return ParticipantStatus::declined;
        case ICAL_PARTSTAT_TENTATIVE:
            return ParticipantStatus::tentative;
        case ICAL_PARTSTAT_DELEGATED:
            return ParticipantStatus::delegated;
        case ICAL_PARTSTAT_COMPLETED:
            return ParticipantStatus::completed;
        case ICAL_PARTSTAT_INPROCESS:
            return ParticipantStatus::inProcess;
        case ICAL_PARTSTAT_X: {
            // libical 3.0 spells this value "INPROCESS" and reads the standard "IN-PROCESS" as
            // an extension value.
            const char* x = icalparameter_get_xvalue(p);
            if (x != nullptr && strcasecmp(x, "IN-PROCESS") == 0) {
                return ParticipantStatus::inProcess;
            }
            return ParticipantStatus::unknown;
        }
        default:
            return ParticipantStatus::unknown;
    }
}

ParticipantRole roleOf(icalproperty* prop, ParticipantRole absent) {
    icalparameter* p = icalproperty_get_first_parameter(prop, ICAL_ROLE_PARAMETER);
    if (p == nullptr) return absent;
    switch (icalparameter_get_role(p)) {
        case ICAL_ROLE_REQPARTICIPANT:
            return ParticipantRole::required;
        case ICAL_ROLE_OPTPARTICIPANT:
            return ParticipantRole::optional;
        case ICAL_ROLE_CHAIR:
            return ParticipantRole::chair;
        case ICAL_ROLE_NONPARTICIPANT:
            return ParticipantRole::nonParticipant;
        default:
            return ParticipantRole::unknown;
    }
}

bool isUserAddress(const std::string& address, const CalendarICalContext& context) {
    const std::string mine = normalizedCalendarAddress(address);
    if (mine.empty()) return false;
    for (const std::string& a : context.userAddresses) {
        if (normalizedCalendarAddress(a) == mine) return true;
    }
    return false;
}

CalendarParticipant participantOf(icalproperty* prop, const CalendarICalContext& context,
                                  ParticipantRole absentRole) {
    CalendarParticipant p;
    const char* value = icalproperty_isa(prop) == ICAL_ORGANIZER_PROPERTY
                            ? icalproperty_get_organizer(prop)
                            : icalproperty_get_attendee(prop);
    p.url = value != nullptr ? value : "";
    if (icalparameter* cn = icalproperty_get_first_parameter(prop, ICAL_CN_PARAMETER)) {
        p.name = nonEmpty(icalparameter_get_cn(cn));
    }
    p.isCurrentUser = isUserAddress(p.url, context);
    p.status = statusOf(prop);
    p.role = roleOf(prop, absentRole);
    return p;
}

std::string utcICalText(Clock::time_point t) {
    const icaltimetype tt =
        icaltime_from_timet_with_zone(Clock::to_time_t(t), 0, icaltimezone_get_utc_timezone());
    return icaltime_as_ical_string(tt);
}

}  // namespace

Clock::time_point calendarTimePoint(icaltimetype t, icaltimezone* fallbackZone) {
    icaltimezone* zone = const_cast<icaltimezone*>(t.zone);
    if (icaltime_is_utc(t)) zone = icaltimezone_get_utc_timezone();
    if (zone == nullptr) zone = fallbackZone;
    return Clock::from_time_t(icaltime_as_timet_with_zone(t, zone));
}

std::string normalizedCalendarAddress(std::string_view address) {
    constexpr std::string_view scheme = "mailto:";
    if (address.size() >= scheme.size()) {
        bool hasScheme = true;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(address[i])) != scheme[i])
                hasScheme = false;
        }
        if (hasScheme) address.remove_prefix(scheme.size());
    }
    std::string out(address);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

CalendarEvent calendarEventFromICal(icalcomponent* vevent, const CalendarICalContext& context,
                                    const std::optional<CalendarOccurrence>& occurrence) {
    icaltimezone* zone = context.defaultZone ? context.defaultZone : systemICalTimeZone();
    CalendarEvent e;
    e.calendarIdentifier = context.calendarIdentifier;
    e.calendarTitle = context.calendarTitle;

    const std::optional<std::string> uid = nonEmpty(icalcomponent_get_uid(vevent));
    e.externalIdentifier = uid;
    e.title = nonEmpty(icalcomponent_get_summary(vevent));
    e.url = textProperty(vevent, ICAL_URL_PROPERTY, &icalproperty_get_url);
    e.location = textProperty(vevent, ICAL_LOCATION_PROPERTY, &icalproperty_get_location);
    e.notes = textProperty(vevent, ICAL_DESCRIPTION_PROPERTY, &icalproperty_get_description);
    e.hasRecurrenceRules =
        icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY) != nullptr ||
        icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY) != nullptr;

    switch (icalcomponent_get_status(vevent)) {
        case ICAL_STATUS_CANCELLED:
            e.status = CalendarEventStatus::canceled;
            break;
        case ICAL_STATUS_CONFIRMED:
            e.status = CalendarEventStatus::confirmed;
            break;
        case ICAL_STATUS_TENTATIVE:
            e.status = CalendarEventStatus::tentative;
            break;
        default:
            e.status = CalendarEventStatus::none;
            break;
    }

    const icaltimetype dtstart = icalcomponent_get_dtstart(vevent);
    const bool hasStart = !icaltime_is_null_time(dtstart);
    e.isAllDay = hasStart && dtstart.is_date;
    if (occurrence) {
        e.startDate = occurrence->start;
        e.endDate = occurrence->end;
    } else if (hasStart) {
        e.startDate = calendarTimePoint(dtstart, zone);
        const icaltimetype dtend = icalcomponent_get_dtend(vevent);
        if (!icaltime_is_null_time(dtend)) {
            e.endDate = calendarTimePoint(dtend, zone);
        } else if (dtstart.is_date) {
            // A date without an end lasts that one day.
            icaltimetype next = dtstart;
            icaltime_adjust(&next, 1, 0, 0, 0);
            e.endDate = calendarTimePoint(next, zone);
        } else {
            e.endDate = *e.startDate;
        }
    }

    std::optional<std::string> rid;
    if (icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY) != nullptr) {
        rid = icaltime_as_ical_string(icalcomponent_get_recurrenceid(vevent));
    } else if (occurrence && e.hasRecurrenceRules) {
        rid = utcICalText(occurrence->start);
    }
    if (uid) e.eventIdentifier = rid ? *uid + "-" + *rid : *uid;

    for (icalproperty* p = icalcomponent_get_first_property(vevent, ICAL_ATTENDEE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(vevent, ICAL_ATTENDEE_PROPERTY)) {
        // Without ROLE an attendee is a required participant.
        e.attendees.push_back(participantOf(p, context, ParticipantRole::required));
    }
    if (icalproperty* p = icalcomponent_get_first_property(vevent, ICAL_ORGANIZER_PROPERTY)) {
        CalendarParticipant organizer = participantOf(p, context, ParticipantRole::chair);
        // ORGANIZER carries no reply of its own; take it from the organiser's ATTENDEE line.
        organizer.status = ParticipantStatus::unknown;
        const std::string address = normalizedCalendarAddress(organizer.url);
        for (const CalendarParticipant& a : e.attendees) {
            if (!address.empty() && normalizedCalendarAddress(a.url) == address) {
                organizer.status = a.status;
                break;
            }
        }
        e.organizer = organizer;
    }
    return e;
}

std::vector<CalendarEvent> calendarEventsFromICalText(std::string_view text,
                                                      const CalendarICalContext& context) {
    std::vector<CalendarEvent> events;
    const std::string owned(text);
    std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> root(
        icalparser_parse_string(owned.c_str()), &icalcomponent_free);
    if (!root) return events;
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
        events.push_back(calendarEventFromICal(root.get(), context));
        return events;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT);
         c != nullptr; c = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT)) {
        events.push_back(calendarEventFromICal(c, context));
    }
    return events;
}

icaltimezone* systemICalTimeZone() {
    std::string name;
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        name = tz;
        if (name.front() == ':') name.erase(0, 1);
        // A path form names the zone by its place under zoneinfo.
        if (const auto pos = name.find("zoneinfo/"); pos != std::string::npos) {
            name = name.substr(pos + 9);
        }
    } else {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink("/etc/localtime", ec);
        const std::string t = ec ? std::string() : target.string();
        if (const auto pos = t.find("zoneinfo/"); pos != std::string::npos) {
            name = t.substr(pos + 9);
        } else {
            std::ifstream in("/etc/timezone");
            std::getline(in, name);
        }
    }
    if (name == "UTC" || name == "Etc/UTC" || name.empty()) return icaltimezone_get_utc_timezone();
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone(name.c_str())) return zone;
    return icaltimezone_get_utc_timezone();
}
