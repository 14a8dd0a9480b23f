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

void tighten(const fs::path& root) {
    const auto restrict = [](const fs::path& p) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(p, ec);
        if (ec || fs::is_symlink(st)) return;
        if ((st.permissions() & (fs::perms::group_all | fs::perms::others_all)) == fs::perms::none)
            return;  // already private: nothing to write
        const fs::perms open = fs::perms::group_all | fs::perms::others_all;
        fs::permissions(p, open, fs::perm_options::remove | fs::perm_options::nofollow, ec);
        // Without /proc the C library cannot change a mode without following; the entry was
        // seen not to be a link just before.
        if (ec == std::errc::operation_not_supported)
            fs::permissions(p, open, fs::perm_options::remove, ec);
    };
    restrict(root);
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(root, ec))) return;
    // The iterator does not descend through links to folders.
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec))
        restrict(it->path());
}

}  // namespace privatefiles
