#include <gtest/gtest.h>

#include "library/LibraryState.h"

namespace {

Timestamp at(const char* iso) {
    return *iso8601::parse(iso);
}

LibraryState decode(const std::string& text) {
    return LibraryState::fromJson(json::parse(text), at("2030-01-01T00:00:00Z"));
}

}  // namespace

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
