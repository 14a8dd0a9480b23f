#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "library/LibrarySearchText.h"
#include "model/MinutesRecord.h"

// The prepared texts of records, built on first use and kept while the record stays the same.
// Records are immutable once stored, so a record is recognised by its id and a few cheap
// fields; a different record arriving under a known id is prepared afresh.
class LibrarySearchCache {
public:
    // The record's own searchable pieces (everything but its tag and folder names).
    const LibrarySearchText& recordText(const MinutesRecord& record);
    // Attendees, speakers and assignees.
    const LibrarySearchText& participantText(const MinutesRecord& record);

    // A filter pass marks the records it meets; entries of records that were not met are
    // dropped once they clearly outnumber the live ones.
    void beginPass() {
        ++pass_;
        met_ = 0;
    }
    void endPass();

    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }

    // The raw texts before folding, lines joined with "\n".
    static std::string recordPieces(const MinutesRecord& record);
    static std::string participantPieces(const MinutesRecord& record);

private:
    struct Guard {
        Timestamp createdAt;
        std::string sourceName;
        std::string title;
        std::size_t sizes[8];
        bool operator==(const Guard&) const = default;
    };
    struct Entry {
        Guard guard;
        std::unique_ptr<LibrarySearchText> text;
        std::unique_ptr<LibrarySearchText> participants;
        std::uint64_t pass = 0;
    };

    static Guard guardOf(const MinutesRecord& record);
    Entry& entryFor(const MinutesRecord& record);

    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t pass_ = 0;
    std::size_t met_ = 0;
};
