#include "util/Json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

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
    EXPECT_THROW(json::parse("{"), json::Error);
    EXPECT_THROW(json::parse("\"\xff\""), json::Error);
    EXPECT_FALSE(json::tryParse("[1,]"));
    EXPECT_TRUE(json::tryParse("null"));
    EXPECT_THROW(json::dumpCompact(json::Value(std::string("a\xff"))), json::Error);
    EXPECT_EQ(json::dumpCompact(json::parse(R"({"b": [1, 2.0], "a": "é"})")),
              R"({"a":"é","b":[1,2.0]})");
}

TEST(Json, IntegerAccessMatrix) {
    struct Case {
        const char* key;
        std::optional<std::int64_t> value;
        bool wrongType;
    };
    const Case cases[] = {{"absent", {}, false},     {"nothing", {}, false}, {"count", -3, false},
                          {"big", INT64_MAX, false}, {"huge", {}, true},     {"ratio", {}, true},
                          {"name", {}, true},        {"flag", {}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        if (c.wrongType) {
            EXPECT_THAT(errorOf([&] { json::optionalInt(kDoc, c.key); }),
                        testing::HasSubstr(c.key));
        } else {
            EXPECT_EQ(json::optionalInt(kDoc, c.key), c.value);
        }
        if (c.value) {
            EXPECT_EQ(json::requireInt(kDoc, c.key), *c.value);
        } else {
            EXPECT_THAT(errorOf([&] { json::requireInt(kDoc, c.key); }), testing::HasSubstr(c.key));
        }
    }
    const std::pair<const char*, bool> integers[] = {
        {"5", true},      {"9223372036854775807", true},  {"1.0", false}, {"1e2", false},
        {"\"5\"", false}, {"9223372036854775808", false}, {"true", false}};
    for (const auto& [text, isInt] : integers) EXPECT_EQ(json::isInteger(json::parse(text)), isInt);
}

TEST(Json, KeyedAccess) {
    EXPECT_EQ(json::requireString(kDoc, "name"), "x");
    EXPECT_EQ(json::optionalBool(kDoc, "nothing"), std::nullopt);
    EXPECT_TRUE(json::has(kDoc, "obj"));
    EXPECT_FALSE(json::has(kDoc, "nothing"));
    EXPECT_THROW(json::optionalObject(kDoc, "list"), json::Error);
    EXPECT_EQ(json::requireIntArray(kDoc, "list"), (std::vector<std::int64_t>{1, 2}));
    EXPECT_THAT(errorOf([] { json::requireStringArray(kDoc, "mixed"); }),
                testing::HasSubstr("mixed[1]"));
    EXPECT_THROW(json::has(json::parse("[1]"), "name"), json::Error);
    EXPECT_THROW(json::requireObject(json::parse("3"), "obj"), json::Error);
    EXPECT_THROW(json::optionalString(json::parse("null"), "name"), json::Error);
}

}  // namespace
