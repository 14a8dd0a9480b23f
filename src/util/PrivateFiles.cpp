#include "util/PrivateFiles.h"

#include <sys/stat.h>
#include <cerrno>
#include <system_error>

namespace privatefiles {

namespace fs = std::filesystem;

int makeFolders(const fs::path& folder) {
    fs::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) == 0) continue;
        const int err = errno;
        struct stat st {};
        if (::stat(partial.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return err;
    }
    return 0;
}

namespace {

const fs::perms kOthers = fs::perms::group_all | fs::perms::others_all;

void makePrivate(const fs::path& p, fs::perms current, bool followLink) {
    if ((current & kOthers) == fs::perms::none) return;  // nothing to write
    std::error_code ec;
    const auto how = followLink ? fs::perm_options::remove
                                : fs::perm_options::remove | fs::perm_options::nofollow;
    fs::permissions(p, kOthers, how, ec);
    // Without /proc the C library cannot change a mode without following; the entry was seen
    // not to be a link just before.
    if (ec == std::errc::operation_not_supported)
        fs::permissions(p, kOthers, fs::perm_options::remove, ec);
}

}  // namespace

void tighten(const fs::path& root) {
    std::error_code ec;
    // The root may be a link the user made to keep the data elsewhere; below it, links are
    // neither followed nor changed (the iterator does not descend through them).
    const fs::file_status st = fs::status(root, ec);
    if (!fs::is_directory(st)) return;
    makePrivate(root, st.permissions(), true);
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        const fs::file_status entry = it->symlink_status(entryError);
        if (!entryError && !fs::is_symlink(entry))
            makePrivate(it->path(), entry.permissions(), false);
    }
}

}  // namespace privatefiles
