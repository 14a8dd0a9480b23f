#pragma once
// The minutes as the user sees them: the stored minutes with the library's local edits of the
// action items applied. The stored minutes are never rewritten; every edit lives in the record's
// task overrides, keyed by an id derived from the item as stored. Everything that leaves the
// application (copy, export, sending, the agent, the hosted copy) uses these results.
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "library/LibraryTaskOverride.h"
#include "model/MinutesRecord.h"
#include "util/IsoDate.h"

namespace EffectiveMinutes {

using Overrides = std::map<std::string, LibraryTaskOverride>;

// "task-" + lowercase hex (no padding) of 64-bit FNV-1a over task|assignee|due. A stored key
// format: overrides already saved are found by it.
std::string taskID(const TodoItem& item);
// The key of overrides saved before task ids existed: the item's position, in decimal.
std::string legacyTaskKey(std::size_t index);

// The override of the item at `index`: under its task id first, else under the legacy key.
std::optional<LibraryTaskOverride> taskOverride(const Overrides& overrides, std::size_t index,
                                                const TodoItem& item);
bool isTaskDone(const Overrides& overrides, std::size_t index, const TodoItem& item);
// The override after one tick of the done flag (an absent flag counts as not done).
LibraryTaskOverride toggled(const std::optional<LibraryTaskOverride>& current);

// A due text of the forms "yyyy-MM-dd", "yyyy/MM/dd" or "M/d" (the year of `now`), as local
// midnight of that day. The whole text must match, the day must exist and the clock must be able
// to hold it (about 1678 to 2262); else nothing.
std::optional<Timestamp> parseTaskDate(const std::optional<std::string>& text, Timestamp now);
// "yyyy-MM-dd" of `t` in the local time zone.
std::string dueText(Timestamp t);

// One item with its override applied. An empty title in the override gives way to the item's
// own; an empty assignee removes the item's. The detail view shows the same values it sends.
TodoItem effectiveItem(const TodoItem& item, const std::optional<LibraryTaskOverride>& o);
MinutesResult effectiveResult(const MinutesResult& result, const Overrides& overrides);
// The Markdown of the effective minutes.
std::string markdown(const MinutesResult& result, const Overrides& overrides,
                     const std::string& templateLabel);

// "日付: …  ・  場所: …  ・  出席者: …" of the meeting's facts; nothing when it has none.
std::optional<std::string> headerLine(const MinutesResult& result);

}  // namespace EffectiveMinutes
