#pragma once

// Which records a filter keeps by archive state.
enum class LibraryArchiveFilter {
    active,    // not archived
    archived,  // archived only
    all,
};
