#include "library/EffectiveMinutes.h"

#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

#include "model/Markdown.h"

namespace EffectiveMinutes {

std::string taskID(const TodoItem& item) {
    const std::string text =
        item.task + "|" + item.assignee.value_or("") + "|" + item.due.value_or("");
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    do {
        hex.insert(hex.begin(), kDigits[hash & 0xf]);
        hash >>= 4;
    } while (hash != 0);
    return "task-" + hex;
}

std::string legacyTaskKey(std::size_t index) {
    return std::to_string(index);
}

std::optional<LibraryTaskOverride> taskOverride(const Overrides& overrides, std::size_t index,
                                                const TodoItem& item) {
    if (auto it = overrides.find(taskID(item)); it != overrides.end()) return it->second;
    if (auto it = overrides.find(legacyTaskKey(index)); it != overrides.end()) return it->second;
    return std::nullopt;
}

bool isTaskDone(const Overrides& overrides, std::size_t index, const TodoItem& item) {
    const auto o = taskOverride(overrides, index, item);
    return o && o->isCompleted.value_or(false);
}

LibraryTaskOverride toggled(const std::optional<LibraryTaskOverride>& current) {
    LibraryTaskOverride o = current.value_or(LibraryTaskOverride{});
    o.isCompleted = !o.isCompleted.value_or(false);
    return o;
}

namespace {

std::tm localTm(Timestamp t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&secs, &tm);
    return tm;
}

std::optional<Timestamp> localMidnight(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    const std::time_t secs = std::mktime(&tm);
    // mktime rolls 31 April into May; such a day does not exist.
    if (secs == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1)
        return std::nullopt;
    // The clock counts nanoseconds in 64 bits (about 1678 to 2262); from_time_t would wrap a
    // day outside that silently, so such a day is one the clock cannot hold.
    using namespace std::chrono;
    const seconds since(secs);
    if (since < ceil<seconds>(Timestamp::min().time_since_epoch()) ||
        since > floor<seconds>(Timestamp::max().time_since_epoch()))
        return std::nullopt;
    return Timestamp(duration_cast<Timestamp::duration>(since));
}

// The `groups` numbers of `text` split at `sep` (1 to 4 digits each); empty unless the whole
// text is made of exactly them.
std::vector<int> numbers(std::string_view text, char sep, std::size_t groups) {
    std::vector<int> out;
    std::size_t start = 0;
    while (out.size() < groups) {
        const std::size_t end = std::min(text.find(sep, start), text.size());
        const std::string_view part = text.substr(start, end - start);
        if (part.empty() || part.size() > 4) return {};
        int value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9') return {};
            value = value * 10 + (c - '0');
        }
        out.push_back(value);
        if (end == text.size()) return out.size() == groups ? out : std::vector<int>{};
        start = end + 1;
    }
    return {};
}

}  // namespace

std::optional<Timestamp> parseTaskDate(const std::optional<std::string>& text, Timestamp now) {
    if (!text || text->empty()) return std::nullopt;
    const std::string_view t = *text;
    // yyyy-MM-dd, yyyy/MM/dd: a four-digit year, then month and day of one or two digits.
    const auto dated = [&t](char sep) -> std::optional<Timestamp> {
        const auto n = numbers(t, sep, 3);
        if (n.empty() || t.find(sep) != 4 || t.size() - t.rfind(sep) > 3 ||
            t.rfind(sep) - t.find(sep) > 3)
            return std::nullopt;
        return localMidnight(n[0], n[1], n[2]);
    };
    if (auto d = dated('-')) return d;
    if (auto d = dated('/')) return d;
    // A due text without a year means this year, never a parser's default year.
    const auto md = numbers(t, '/', 2);
    if (md.empty() || t.find('/') > 2 || t.size() - t.find('/') > 3) return std::nullopt;
    return localMidnight(localTm(now).tm_year + 1900, md[0], md[1]);
}

std::string dueText(Timestamp t) {
    return localzone::format(t, "%Y-%m-%d");
}

TodoItem effectiveItem(const TodoItem& item, const std::optional<LibraryTaskOverride>& o) {
    TodoItem out = item;
    if (!o) return out;
    if (o->title && !o->title->empty()) out.task = *o->title;
    // A cleared assignee is the user's choice: it leaves the item without one.
    if (o->assignee) out.assignee = o->assignee->empty() ? std::nullopt : o->assignee;
    if (o->dueDate) out.due = dueText(*o->dueDate);
    return out;
}

MinutesResult effectiveResult(const MinutesResult& result, const Overrides& overrides) {
    MinutesResult out = result;
    for (std::size_t i = 0; i < out.todos.size(); ++i)
        out.todos[i] = effectiveItem(result.todos[i], taskOverride(overrides, i, result.todos[i]));
    return out;
}

std::string markdown(const MinutesResult& result, const Overrides& overrides,
                     const std::string& templateLabel) {
    return toMarkdown(effectiveResult(result, overrides), templateLabel);
}

std::optional<std::string> headerLine(const MinutesResult& result) {
    if (!result.meta) return std::nullopt;
    const MinutesMeta& m = *result.meta;
    std::string line;
    const auto add = [&line](const std::string& part) {
        if (!line.empty()) line += "  ・  ";
        line += part;
    };
    if (m.date && !m.date->empty()) add("日付: " + *m.date);
    if (m.location && !m.location->empty()) add("場所: " + *m.location);
    if (m.attendees && !m.attendees->empty()) {
        std::string names;
        for (std::size_t i = 0; i < m.attendees->size(); ++i)
            names += (i ? "、" : "") + (*m.attendees)[i];
        add("出席者: " + names);
    }
    if (line.empty()) return std::nullopt;
    return line;
}

}  // namespace EffectiveMinutes
