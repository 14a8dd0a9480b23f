#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "library/LibraryRecordMetadata.h"
#include "library/LibrarySearchText.h"
#include "model/MinutesRecord.h"

// Per-record working data of the record filter, kept between calls: the record's prepared
// search texts, built on first use, and where its library entry was last found.
//
// Records never change once stored, so a slot is recognised by the record's id; a few fields
// that live in the record itself (creation time and sizes) tell a different record arriving
// under a known id apart, and the slot is then prepared afresh. A record that keeps its place in
// the list is found without a lookup, which keeps a pass over a large library cheap.
class LibrarySearchCache {
public:
    class Slot {
    public:
        using Guard = std::array<std::int64_t, 10>;

        // The record's own searchable pieces (everything but its tag and folder names).
        const LibrarySearchText& text(const MinutesRecord& record);
        // Attendees, speakers and assignees.
        const LibrarySearchText& participants(const MinutesRecord& record);

        // The library entry as found in state generation `metadataGeneration`.
        const LibraryRecordMetadata* metadata = nullptr;
        std::uint64_t metadataGeneration = 0;

    private:
        friend class LibrarySearchCache;
        Guard guard{};
        // The record's id buffer when last seen: a record that stays in the list keeps it
        // (moving a record moves the buffer along), so the id need not be read to find the slot.
        const char* idData = nullptr;
        std::optional<LibrarySearchText> text_;
        std::optional<LibrarySearchText> participants_;
    };

    // The slot of `record`, which stands at `index` of the list being filtered.
    Slot& slotFor(const MinutesRecord& record, std::size_t index);

    // Drops the slots of records that are no longer passed in, once the cache has grown to
    // twice the size of the list.
    void prune(const std::vector<MinutesRecord>& records);

    std::size_t size() const { return slots_.size(); }

    // The record's searchable pieces, joined with "\n", before and after its transcript; the
    // joins next to the transcript are in `before` and `after`. Without a transcript all is in
    // `before`.
    struct Around {
        std::string before;
        std::string after;
    };

    // Preparing texts away from the main thread: the raw pieces of a record are copied out (its
    // transcript shared, not copied), folded on a worker, and installed back on the cache's
    // thread.
    struct Pieces {
        std::string id;
        Slot::Guard guard{};
        Around text;
        std::shared_ptr<const std::string> transcript;
        std::string participants;
    };
    struct Prepared {
        std::string id;
        Slot::Guard guard{};
        LibrarySearchText text;
        LibrarySearchText participants;
    };
    // Whether both texts of `record` are ready.
    bool isPrepared(const MinutesRecord& record) const;
    static Pieces piecesOf(const MinutesRecord& record);
    // Any thread.
    static Prepared prepare(Pieces pieces);
    // Texts of a record that changed under its id meanwhile are dropped.
    void install(Prepared prepared);

    // The raw texts before folding, lines joined with "\n".
    static std::string recordPieces(const MinutesRecord& record);
    static std::string participantPieces(const MinutesRecord& record);

private:
    static Slot::Guard guardOf(const MinutesRecord& record);
    static Around around(const MinutesRecord& record);
    // The transcript as the search reads it, or nothing when there is none.
    static std::shared_ptr<const std::string> transcriptOf(const MinutesRecord& record);

    std::unordered_map<std::string, Slot> slots_;
    // The slots in the order of the last list filtered.
    std::vector<Slot*> order_;
};
