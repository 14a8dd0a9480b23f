#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "library/LibraryFolder.h"
#include "library/LibraryRecordMetadata.h"
#include "library/LibraryTag.h"
#include "util/IsoDate.h"
#include "util/Json.h"

// The whole library: the content of "library-state.json".
struct LibraryState {
    // The only format version written, and the highest one accepted when loading.
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    std::vector<LibraryFolder> folders;
    std::vector<LibraryTag> tags;
    // Keyed by MinutesRecord id; an entry may outlive its record.
    std::map<std::string, LibraryRecordMetadata> records;
    Timestamp updatedAt = std::chrono::system_clock::now();

    bool operator==(const LibraryState&) const = default;

    json::Value toJson() const;
    // Missing members take their defaults ("updatedAt" becomes `now`); anything present of the
    // wrong type, anywhere, fails the whole state. The version is not checked here.
    static LibraryState fromJson(const json::Value& v,
                                 Timestamp now = std::chrono::system_clock::now());
    // The file form: pretty-printed with sorted keys.
    std::string toFileText() const;  // throws json::Error
};

template <>
struct std::hash<LibraryState> {
    std::size_t operator()(const LibraryState& v) const noexcept;
};
