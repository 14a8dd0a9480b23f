#include <gtest/gtest.h>

#include "library/EffectiveMinutes.h"
#include "support/TempDir.h"

namespace em = EffectiveMinutes;
using testsupport::ScopedTimeZone;

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

TodoItem item(std::string task, std::optional<std::string> assignee = {},
              std::optional<std::string> due = {}) {
    return TodoItem{std::move(task), std::move(assignee), std::move(due), std::nullopt,
                    std::nullopt};
}

TEST(EffectiveMinutes, TaskIDIsTheStoredKeyFormat) {
    EXPECT_EQ(em::taskID(item("abc")), "task-6363ae2d763a054b");
    EXPECT_EQ(em::taskID(item("")), "task-8e34c07b581a8a5") << "no zero padding";
    EXPECT_EQ(em::taskID(item("資料を共有", "田中", "5/10")), "task-faeb5c0dacceb61e")
        << "UTF-8 bytes";
    EXPECT_EQ(em::taskID(item("a", "", "")), em::taskID(item("a"))) << "absent == empty";
}

TEST(EffectiveMinutes, LegacyKeyIsFoundUntilTheTaskIDHasAnEntry) {
    const TodoItem t = item("報告書", "佐藤");
    em::Overrides map{{"1", {"古い", {}, {}, {}, {}}}};
    EXPECT_EQ(em::taskOverride(map, 1, t)->title, "古い");
    EXPECT_EQ(em::taskOverride(map, 0, t), std::nullopt);

    map[em::taskID(t)] = em::toggled(em::taskOverride(map, 1, t));
    EXPECT_EQ(map[em::taskID(t)].title, "古い") << "the legacy entry is carried over";
    EXPECT_TRUE(em::isTaskDone(map, 1, t));
    map[em::taskID(t)] = em::toggled(em::taskOverride(map, 1, t));
    EXPECT_EQ(em::taskOverride(map, 1, t)->isCompleted, false) << "present, not absent";
    EXPECT_EQ(map.count("1"), 1u);
}

TEST(EffectiveMinutes, ParseTaskDate) {
    ScopedTimeZone tz("Asia/Tokyo");
    const Timestamp now = at("2026-12-06T12:00:00Z");
    const struct {
        std::optional<std::string> text;
        const char* expected;  // nullptr: nothing
    } cases[] = {
        {"2025-05-10", "2025-05-09T15:00:00Z"},
        {"2025/5/1", "2025-04-30T15:00:00Z"},
        {"5/10", "2026-05-09T15:00:00Z"},
        {"12/31", "2026-12-30T15:00:00Z"},
        {std::nullopt, nullptr},
        {"", nullptr},
        {"5/10まで", nullptr},
        {" 5/10", nullptr},
        {"2025-02-30", nullptr},
        {"13/1", nullptr},
        {"来週", nullptr},
        {"2025-05-10T10:00", nullptr},
        // The clock holds about 1678 to 2262: beyond, never a wrapped-around date.
        {"1600-01-01", nullptr},
        {"2261-12-31", "2261-12-30T15:00:00Z"},
        {"2262-04-12", "2262-04-11T15:00:00Z"},  // just inside in Tokyo
        {"9999-12-31", nullptr},
    };
    for (const auto& c : cases) {
        const auto got = em::parseTaskDate(c.text, now);
        SCOPED_TRACE(c.text.value_or("<absent>"));
        if (c.expected)
            EXPECT_EQ(got, at(c.expected));
        else
            EXPECT_EQ(got, std::nullopt);
    }
    ScopedTimeZone utc("UTC");  // there midnight of 12 April 2262 is past the end
    EXPECT_EQ(em::parseTaskDate("2262-04-12", now), std::nullopt);
}

TEST(EffectiveMinutes, EffectiveResultInANonUtcZone) {
    ScopedTimeZone tz("America/Los_Angeles");
    MinutesResult r;
    r.title = "定例";
    r.todos = {item("見積もり", "田中", "来週"), item("議事録の共有", std::nullopt, "3/14"),
               item("契約書の確認", "鈴木"), item("手つかず", "森")};
    em::Overrides map;
    // 23:30 on 10 May in Los Angeles is already 11 May in UTC.
    map[em::taskID(r.todos[0])] = {"見積もり（改）", "佐藤", at("2025-05-11T06:30:00Z"), "高", {}};
    map[em::taskID(r.todos[1])] = {"", "", {}, {}, {}};
    map["2"] = {{}, "", {}, {}, true};

    const MinutesResult out = em::effectiveResult(r, map);
    EXPECT_EQ(out.todos[0], item("見積もり（改）", "佐藤", "2025-05-10"));
    EXPECT_EQ(out.todos[1], r.todos[1]) << "an empty title falls back to the item's";
    EXPECT_EQ(out.todos[2], item("契約書の確認")) << "a cleared assignee is left out";
    EXPECT_EQ(out.todos[3], r.todos[3]);
    EXPECT_EQ(out.title, r.title);
    EXPECT_NE(em::markdown(r, map, "議事録").find("見積もり（改）"), std::string::npos);
    EXPECT_EQ(em::markdown(r, map, "議事録").find("鈴木"), std::string::npos);
}

TEST(EffectiveMinutes, HeaderLine) {
    using V = std::vector<std::string>;
    const struct {
        std::optional<MinutesMeta> meta;
        std::optional<std::string> expected;
    } cases[] = {
        {std::nullopt, std::nullopt},
        {MinutesMeta{}, std::nullopt},
        {MinutesMeta{"", "", V{}}, std::nullopt},
        {MinutesMeta{std::nullopt, std::nullopt, V{"A", "B"}}, "出席者: A、B"},
        {MinutesMeta{"3/7", "会議室A", V{"A", "", "B"}},
         "日付: 3/7  ・  場所: 会議室A  ・  出席者: A、、B"},
        {MinutesMeta{std::nullopt, "本社", std::nullopt}, "場所: 本社"},
    };
    for (const auto& c : cases) {
        MinutesResult r;
        r.meta = c.meta;
        EXPECT_EQ(em::headerLine(r), c.expected);
    }
}

}  // namespace
