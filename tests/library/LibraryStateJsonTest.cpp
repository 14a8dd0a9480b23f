#include <gtest/gtest.h>

#include "library/LibraryFilter.h"
#include "library/LibraryState.h"

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

LibraryState decode(const std::string& text, Timestamp now = at("2030-01-01T00:00:00Z")) {
    return LibraryState::fromJson(json::parse(text), now);
}

}  // namespace

TEST(LibraryStateJson, GoldenFileIsPrettyWithSortedKeys) {
    LibraryState s;
    s.updatedAt = at("2025-03-07T05:05:09Z");
    s.folders = {{"F1", "Work", at("2025-03-01T00:00:00Z"), 0}};
    s.tags = {{"T1", "重要", "red", at("2025-03-02T00:00:00Z")},
              {"T2", "Later", std::nullopt, at("2025-03-03T00:00:00Z")}};
    LibraryRecordMetadata m;
    m.folderIDs = {"F1"};
    m.color = "blue";
    m.isFavorite = true;
    m.archivedAt = at("2025-03-04T10:00:00Z");
    m.taskOverrides["task-1"] = LibraryTaskOverride{};
    m.taskOverrides["0"] =
        LibraryTaskOverride{"Send", "Aoi", at("2025-03-05T00:00:00Z"), "high", true};
    m.remoteReferences["tavro-share"] = {"tavro", "abc", 1, at("2025-03-06T00:00:00Z")};
    s.records["R1"] = m;
    s.records["R2"] = LibraryRecordMetadata();

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
      "color": "blue",
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
    },
    "R2": {
      "folderIDs": [],
      "isFavorite": false,
      "remoteReferences": {},
      "tagIDs": [],
      "taskOverrides": {}
    }
  },
  "tags": [
    {
      "color": "red",
      "createdAt": "2025-03-02T00:00:00Z",
      "id": "T1",
      "name": "重要"
    },
    {
      "createdAt": "2025-03-03T00:00:00Z",
      "id": "T2",
      "name": "Later"
    }
  ],
  "updatedAt": "2025-03-07T05:05:09Z",
  "version": 1
})";
    EXPECT_EQ(s.toFileText(), golden);
    EXPECT_EQ(decode(golden), s);
}

TEST(LibraryStateJson, MissingAndNullMembersTakeDefaults) {
    const Timestamp now = at("2030-01-01T00:00:00Z");
    LibraryState empty = decode("{}", now);
    EXPECT_EQ(empty.version, 1);
    EXPECT_TRUE(empty.folders.empty());
    EXPECT_TRUE(empty.tags.empty());
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.updatedAt, now);
    EXPECT_EQ(decode(R"({"version":null,"folders":null,"tags":null,"records":null})", now), empty);

    const char* defaults[] = {
        R"({})",
        R"({"isFavorite":null,"taskOverrides":null,"remoteReferences":null})",
        R"({"folderIDs":null,"tagIDs":null,"color":null,"archivedAt":null,"lastSelectedAt":null})",
    };
    for (const char* entry : defaults) {
        auto s = decode(std::string(R"({"records":{"R":)") + entry + "}}");
        EXPECT_EQ(s.records.at("R"), LibraryRecordMetadata()) << entry;
    }

    auto s = decode(R"({"tags":[{"id":"T","name":"n","createdAt":"2025-01-01T00:00:00Z"}],
                        "records":{"R":{"folderIDs":["a","b","a"],
                                         "taskOverrides":{"t":{}}}}})");
    EXPECT_EQ(s.tags.at(0).color, std::nullopt);
    EXPECT_EQ(s.records.at("R").folderIDs, (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(s.records.at("R").taskOverrides.at("t"), LibraryTaskOverride());
    EXPECT_EQ(decode(R"({"version":2})").version, 2);  // refused later, by the store
    EXPECT_EQ(decode(R"({"unknown":[1,2],"version":0})").version, 0);
}

TEST(LibraryStateJson, AnyWrongMemberFailsTheWholeFile) {
    const char* bad[] = {
        R"([])",
        R"({"version":"1"})",
        R"({"version":1.5})",
        R"({"folders":{}})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"folders":[{"id":"F","name":null,"createdAt":"2025-01-01T00:00:00Z","sortOrder":0}]})",
        R"({"folders":[{"id":"F","name":"n","createdAt":"2025-01-01T00:00:00Z","sortOrder":1.0}]})",
        R"({"tags":[{"id":"T","name":"n","color":3,"createdAt":"2025-01-01T00:00:00Z"}]})",
        R"({"tags":[{"id":"T","name":"n"}]})",
        R"({"records":[]})",
        R"({"records":{"R":{"isFavorite":"true"}}})",
        R"({"records":{"R":{"folderIDs":["a",1]}}})",
        R"({"records":{"R":{"archivedAt":"2025-01-01T00:00:00.500Z"}}})",
        R"({"records":{"R":{"lastSelectedAt":"2025-01-01T00:00:00"}}})",
        R"({"records":{"R":{"taskOverrides":{"t":{"isCompleted":1}}}}})",
        R"({"records":{"R":{"taskOverrides":{"t":{"dueDate":12}}}}})",
        R"({"records":{"R":{"remoteReferences":{"p":{"provider":"x"}}}}})",
        R"({"records":{"R":{"remoteReferences":{"p":{"provider":"x","remoteID":"y","version":"1"}}}}})",
        R"({"updatedAt":"yesterday"})",
    };
    for (const char* text : bad) {
        EXPECT_THROW(decode(text), json::Error) << text;
    }
}

TEST(LibraryStateJson, DatesAreWrittenInWholeSeconds) {
    LibraryState s;
    s.updatedAt = at("2025-03-07T05:05:09Z") + std::chrono::milliseconds(900);
    LibraryRecordMetadata m;
    m.lastSelectedAt = s.updatedAt;
    s.records["R"] = m;
    const json::Value v = s.toJson();
    EXPECT_EQ(json::requireString(v, "updatedAt"), "2025-03-07T05:05:09Z");
    const LibraryState back = LibraryState::fromJson(json::parse(s.toFileText()));
    EXPECT_EQ(back.updatedAt, at("2025-03-07T05:05:09Z"));
    EXPECT_EQ(back.records.at("R").lastSelectedAt, at("2025-03-07T05:05:09Z"));
    EXPECT_NE(back, s);
}

TEST(LibraryStateJson, DefaultValuesEncodeMinimally) {
    EXPECT_EQ(json::dumpCompact(LibraryRecordMetadata().toJson()),
              R"({"folderIDs":[],"isFavorite":false,"remoteReferences":{},"tagIDs":[],)"
              R"("taskOverrides":{}})");
    EXPECT_EQ(json::dumpCompact(LibraryTaskOverride().toJson()), "{}");
    EXPECT_EQ(LibraryTaskOverride::fromJson(json::parse("{}")), LibraryTaskOverride());
}

TEST(LibraryFilter, ActiveIsTheDefaultAndEveryFieldCounts) {
    EXPECT_EQ(LibraryFilter::active(), LibraryFilter());
    EXPECT_EQ(&LibraryFilter::active(), &LibraryFilter::active());
    const std::function<void(LibraryFilter&)> changes[] = {
        [](LibraryFilter& f) { f.query = "a"; },
        [](LibraryFilter& f) { f.folderIDs = {"F"}; },
        [](LibraryFilter& f) { f.tagIDs = {"T"}; },
        [](LibraryFilter& f) { f.participant = "p"; },
        [](LibraryFilter& f) { f.startDate = Timestamp{}; },
        [](LibraryFilter& f) { f.endDate = Timestamp{}; },
        [](LibraryFilter& f) { f.favoritesOnly = true; },
        [](LibraryFilter& f) { f.archive = LibraryArchiveFilter::all; },
    };
    for (const auto& change : changes) {
        LibraryFilter f;
        change(f);
        EXPECT_NE(f, LibraryFilter::active());
        EXPECT_NE(std::hash<LibraryFilter>{}(f), std::hash<LibraryFilter>{}(LibraryFilter()));
    }
}
