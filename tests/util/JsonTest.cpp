#include "util/Json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

const json::Value kDoc = json::parse(R"({"name": "x", "flag": true, "count": -3,
    "big": 9223372036854775807, "huge": 18446744073709551615, "ratio": 1.0, "nothing": null,
    "obj": {}, "list": [1, 2], "mixed": ["a", 1]})");

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const json::Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(Json, ParseAndDumpThrowOurError) {
    EXPECT_THROW(json::parse("\"\xff\""), json::Error);
    EXPECT_FALSE(json::tryParse("[1,]"));
    EXPECT_THROW(json::dumpCompact(json::Value(std::string("a\xff"))), json::Error);
    EXPECT_EQ(json::dumpCompact(json::parse(R"({"b": [1, 2.0], "a": "é"})")),
              R"({"a":"é","b":[1,2.0]})");
}

// Only integer-typed numbers that fit int64 are integers; errors name the member.
TEST(Json, StrictAccessors) {
    const std::pair<const char*, std::optional<std::int64_t>> ints[] = {
        {"count", -3}, {"big", INT64_MAX}, {"huge", {}}, {"ratio", {}}, {"name", {}}, {"flag", {}}};
    for (const auto& [key, value] : ints) {
        if (value)
            EXPECT_EQ(json::optionalInt(kDoc, key), value) << key;
        else
            EXPECT_THAT(errorOf([&] { json::optionalInt(kDoc, key); }), HasSubstr(key));
    }
    EXPECT_EQ(json::optionalInt(kDoc, "nothing"), std::nullopt);
    EXPECT_THAT(errorOf([] { json::requireInt(kDoc, "nothing"); }), HasSubstr("nothing"));
    EXPECT_FALSE(json::isInteger(json::parse("9223372036854775808")));
    EXPECT_FALSE(json::has(kDoc, "nothing"));
    EXPECT_THROW(json::optionalObject(kDoc, "list"), json::Error);
    EXPECT_THAT(errorOf([] { json::requireStringArray(kDoc, "mixed"); }), HasSubstr("mixed[1]"));
    EXPECT_THROW(json::has(json::parse("[1]"), "name"), json::Error);
}

}  // namespace
