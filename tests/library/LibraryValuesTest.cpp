// The library's stored values: the state file, user templates and the minutes as edited.
#include <gtest/gtest.h>

#include "library/CustomTemplateStore.h"
#include "library/EffectiveMinutes.h"
#include "library/LibraryState.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace em = EffectiveMinutes;
using testsupport::ScopedTimeZone;

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

LibraryState decode(const std::string& text) {
    return LibraryState::fromJson(json::parse(text), at("2030-01-01T00:00:00Z"));
}

TodoItem item(std::string task, std::optional<std::string> assignee = {},
              std::optional<std::string> due = {}) {
    return TodoItem{std::move(task), std::move(assignee), std::move(due), std::nullopt,
                    std::nullopt};
}

CustomTemplate make(const std::string& id, const std::string& label = "ラベル") {
    return CustomTemplate{id, label, "説明", "指示"};
}

class CustomTemplateStoreTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
};

TEST(LibraryStateJson, GoldenFileIsPrettyWithSortedKeys) {
    LibraryState s;
    s.updatedAt = at("2025-03-07T05:05:09Z") + std::chrono::milliseconds(900);
    s.folders = {{"F1", "Work", at("2025-03-01T00:00:00Z"), 0}};
    s.tags = {{"T1", "重要", "red", at("2025-03-02T00:00:00Z")}};
    LibraryRecordMetadata m;
    m.folderIDs = {"F1"};
    m.isFavorite = true;
    m.archivedAt = at("2025-03-04T10:00:00Z");
    m.taskOverrides["task-1"] = LibraryTaskOverride{};
    m.taskOverrides["0"] = {"Send", "Aoi", at("2025-03-05T00:00:00Z"), "high", true};
    m.remoteReferences["tavro-share"] = {"tavro", "abc", 1, at("2025-03-06T00:00:00Z")};
    s.records["R1"] = m;

    const std::string golden = R"({
  "folders": [
    {
      "createdAt": "2025-03-01T00:00:00Z",
      "id": "F1",
      "name": "Work",
      "sortOrder": 0
    }
  ],
  "records": {
    "R1": {
      "archivedAt": "2025-03-04T10:00:00Z",
      "folderIDs": [
        "F1"
      ],
      "isFavorite": true,
      "remoteReferences": {
        "tavro-share": {
          "provider": "tavro",
          "remoteID": "abc",
          "syncedAt": "2025-03-06T00:00:00Z",
          "version": 1
        }
      },
      "tagIDs": [],
      "taskOverrides": {
        "0": {
          "assignee": "Aoi",
          "dueDate": "2025-03-05T00:00:00Z",
          "isCompleted": true,
          "priority": "high",
          "title": "Send"
        },
        "task-1": {}
      }
    }
  },
  "tags": [
    {
      "color": "red",
      "createdAt": "2025-03-02T00:00:00Z",
      "id": "T1",
      "name": "重要"
    }
  ],
  "updatedAt": "2025-03-07T05:05:09Z",
  "version": 1
})";
    EXPECT_EQ(s.toFileText(), golden);
    // Read back, the date has lost its fraction of a second and nothing else.
    const LibraryState back = decode(golden);
    EXPECT_NE(back, s);
    s.updatedAt = at("2025-03-07T05:05:09Z");
    EXPECT_EQ(back, s);
}

TEST(LibraryStateJson, MissingAndNullMembersTakeDefaults) {
    LibraryState empty;
    empty.updatedAt = at("2030-01-01T00:00:00Z");
    EXPECT_EQ(decode(R"({"version":null,"folders":null,"tags":null,"records":null})"), empty);
    EXPECT_EQ(decode(R"({"records":{"R":{"isFavorite":null,"taskOverrides":null,"color":null,
                                         "archivedAt":null,"folderIDs":null}}})")
                  .records.at("R"),
              LibraryRecordMetadata());

    auto s = decode(R"({"tags":[{"id":"T","name":"n","createdAt":"2025-01-01T00:00:00Z"}],
                        "records":{"R":{"folderIDs":["a","b","a"]}}, "unknown":[1]})");
    EXPECT_EQ(s.tags.at(0).color, std::nullopt);
    EXPECT_EQ(s.records.at("R").folderIDs, (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(decode(R"({"version":2})").version, 2);  // refused later, by the store
}

TEST(LibraryStateJson, AnyWrongMemberFailsTheWholeFile) {
    const char* bad[] = {
        R"([])",
        R"({"version":1.5})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"folders":[{"id":"F","name":null,"createdAt":"2025-01-01T00:00:00Z","sortOrder":0}]})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z","sortOrder":1.0}]})",
        R"({"tags":[{"id":"T","name":"n","color":3,"createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"records":{"R":{"isFavorite":"true"}}})",
        R"({"records":{"R":{"folderIDs":["a",1]}}})",
        R"({"records":{"R":{"archivedAt":"2025-01-01T00:00:00.500Z"}}})",
        R"({"records":{"R":{"lastSelectedAt":"2025-01-01T00:00:00"}}})",
        R"({"records":{"R":{"taskOverrides":{"t":{"isCompleted":1}}}}})",
        R"({"records":{"R":{"remoteReferences":{"p":{"provider":"x","remoteID":"y","version":"1"}}}}})",
        R"({"updatedAt":"yesterday"})",
    };
    for (const char* text : bad) EXPECT_THROW(decode(text), json::Error) << text;
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
    const std::pair<const char*, const char*> dates[] = {
        {"2025-05-10", "2025-05-09T15:00:00Z"},
        {"2025/5/1", "2025-04-30T15:00:00Z"},
        {"5/10", "2026-05-09T15:00:00Z"},
        {"12/31", "2026-12-30T15:00:00Z"},
        // The clock holds about 1678 to 2262: beyond, never a wrapped-around date.
        {"2261-12-31", "2261-12-30T15:00:00Z"},
        {"2262-04-12", "2262-04-11T15:00:00Z"}};  // just inside in Tokyo
    for (const auto& [text, expected] : dates)
        EXPECT_EQ(em::parseTaskDate(text, now), at(expected)) << text;
    const char* none[] = {"",     "5/10まで",         " 5/10",      "2025-02-30",
                          "13/1", "2025-05-10T10:00", "1600-01-01", "9999-12-31"};
    for (const char* text : none) EXPECT_EQ(em::parseTaskDate(text, now), std::nullopt) << text;
    EXPECT_EQ(em::parseTaskDate(std::nullopt, now), std::nullopt);
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

// Built-in labels, the default for unknown ids, and user templates shadowing built-ins.
TEST_F(CustomTemplateStoreTest, LabelsFallBackInOrder) {
    EXPECT_EQ(templateLabel("callmemo", defaults), "電話記録");
    EXPECT_EQ(templateLabel("nope", defaults), "議事録");
    ASSERT_TRUE(
        CustomTemplateStore::save({make("sales", "自作"), make("custom-1", "社内")}, defaults));
    EXPECT_EQ(templateLabel("sales", defaults), "自作");
    EXPECT_EQ(templateLabel("custom-1", defaults), "社内");
}

TEST_F(CustomTemplateStoreTest, UndecodableStoreReadsEmptyAndIsKeptOnSave) {
    const std::string bad = R"([{"id":"a","label":"l","detail":"d"}])";
    for (const std::string& bytes : {std::string("not json"), bad}) {
        defaults.set("customTemplates", DefaultsData{bytes});
        EXPECT_TRUE(CustomTemplateStore::load(defaults).empty()) << bytes;
        EXPECT_EQ(defaults.dataValue("customTemplates")->bytes, bytes);  // untouched by reading
    }
    ASSERT_TRUE(CustomTemplateStore::save({make("new")}, defaults));
    EXPECT_EQ(defaults.dataValue("customTemplates.unreadable")->bytes, bad);
    EXPECT_EQ(CustomTemplateStore::load(defaults), std::vector<CustomTemplate>{make("new")});
}

TEST_F(CustomTemplateStoreTest, KeepsTheFirstTwenty) {
    std::vector<CustomTemplate> many;
    for (int i = 1; i <= 21; ++i) many.push_back(make("custom-" + std::to_string(i)));
    ASSERT_TRUE(CustomTemplateStore::save(many, defaults));
    const auto stored = CustomTemplateStore::load(defaults);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.back().id, "custom-20");
}

}  // namespace
