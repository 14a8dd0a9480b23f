#include "library/LibraryCoding.h"

namespace librarycoding {

namespace {

Timestamp parseDate(const json::Value& v, std::string_view key) {
    const std::string text = json::asString(v, key);
    auto t = iso8601::parse(text);
    if (!t) throw json::Error(std::string(key) + ": not an ISO-8601 date with whole seconds");
    return *t;
}

}  // namespace

Timestamp requireDate(const json::Value& obj, std::string_view key) {
    if (!json::has(obj, key)) throw json::Error(std::string(key) + ": missing");
    return parseDate(obj.at(std::string(key)), key);
}

std::optional<Timestamp> optionalDate(const json::Value& obj, std::string_view key) {
    if (!json::has(obj, key)) return std::nullopt;
    return parseDate(obj.at(std::string(key)), key);
}

std::set<std::string> stringSet(const json::Value& obj, std::string_view key) {
    auto list = json::optionalStringArray(obj, key);
    if (!list) return {};
    return std::set<std::string>(list->begin(), list->end());
}

json::Value dateValue(Timestamp t) {
    return iso8601::format(t);
}

json::Value setValue(const std::set<std::string>& s) {
    json::Value a = json::Value::array();
    for (const auto& e : s) a.push_back(e);
    return a;
}

}  // namespace librarycoding
