#pragma once
// Shared pieces of the library file's JSON form and of the library types' hashing: dates as
// ISO-8601 text with whole seconds, sets as arrays of strings, maps as objects.
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "util/Hash.h"
#include "util/IsoDate.h"
#include "util/Json.h"

namespace librarycoding {

// Required date member; missing, null, not a string or not strict ISO-8601 throws json::Error.
Timestamp requireDate(const json::Value& obj, std::string_view key);
// Absent or null gives nullopt; anything present must be a strict ISO-8601 string.
std::optional<Timestamp> optionalDate(const json::Value& obj, std::string_view key);
// Absent or null gives the empty set; repeated strings count once.
std::set<std::string> stringSet(const json::Value& obj, std::string_view key);

json::Value dateValue(Timestamp t);
json::Value setValue(const std::set<std::string>& s);

inline void feedTime(std::size_t& seed, Timestamp t) {
    hashing::feed(seed, static_cast<long long>(t.time_since_epoch().count()));
}

inline void feedTime(std::size_t& seed, const std::optional<Timestamp>& t) {
    hashing::combine(seed, t ? 1u : 0u);
    if (t) feedTime(seed, *t);
}

inline void feedSet(std::size_t& seed, const std::set<std::string>& s) {
    hashing::combine(seed, s.size());
    for (const auto& e : s) hashing::feed(seed, e);
}

template <typename V>
void feedMap(std::size_t& seed, const std::map<std::string, V>& m) {
    hashing::combine(seed, m.size());
    for (const auto& [k, v] : m) {
        hashing::feed(seed, k);
        hashing::combine(seed, std::hash<V>{}(v));
    }
}

}  // namespace librarycoding
