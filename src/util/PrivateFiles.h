#pragma once
// Files that only their owner may read: the minutes, transcripts and recordings of a user's
// meetings, and the settings. Folders are made 0700; files are written 0600 by their writers.
#include <filesystem>

namespace privatefiles {

// Creates `folder` and every missing parent with mode 0700; folders that exist are left as they
// are. 0 on success, else the errno of the first folder that could not be made.
int makeFolders(const std::filesystem::path& folder);

// Takes group and other access away from the folder `root` and from everything under it,
// walking it once. Links under it are neither followed nor changed. Failures are skipped: this
// is a tightening, and what cannot be changed stays as it was.
void tighten(const std::filesystem::path& root);

}  // namespace privatefiles
