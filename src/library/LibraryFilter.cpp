#include "library/LibraryFilter.h"

#include "library/LibraryCoding.h"

const LibraryFilter& LibraryFilter::active() {
    static const LibraryFilter filter;
    return filter;
}

std::size_t std::hash<LibraryFilter>::operator()(const LibraryFilter& v) const noexcept {
    std::size_t seed = hashing::of(v.query);
    librarycoding::feedSet(seed, v.folderIDs);
    librarycoding::feedSet(seed, v.tagIDs);
    hashing::feed(seed, v.participant);
    librarycoding::feedTime(seed, v.startDate);
    librarycoding::feedTime(seed, v.endDate);
    hashing::feed(seed, v.favoritesOnly);
    hashing::feed(seed, static_cast<int>(v.archive));
    return seed;
}
