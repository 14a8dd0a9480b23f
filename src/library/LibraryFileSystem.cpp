#include "library/LibraryFileSystem.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "util/AtomicFile.h"
#include "util/PrivateFiles.h"

namespace {

std::string quoted(const std::filesystem::path& p) {
    return "「" + p.string() + "」";
}

std::string reason(int err) {
    return std::generic_category().message(err);
}

}  // namespace

LibraryFileSystem& LibraryFileSystem::standard() {
    static LibraryFileSystem fs;
    return fs;
}

bool LibraryFileSystem::fileExists(const std::filesystem::path& path) const {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string LibraryFileSystem::readFile(const std::filesystem::path& path) const {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw std::runtime_error("ファイル" + quoted(path) + "を読み込めませんでした（" +
                                 reason(EISDIR) + "）。");
    }
    errno = 0;
    auto data = atomicfile::read(path);
    if (!data) {
        const int err = errno ? errno : EIO;
        throw std::runtime_error("ファイル" + quoted(path) + "を読み込めませんでした（" +
                                 reason(err) + "）。");
    }
    return *data;
}

void LibraryFileSystem::createDirectories(const std::filesystem::path& path) {
    // The library's folder is the private data folder.
    if (const int err = privatefiles::makeFolders(path)) {
        throw std::runtime_error("フォルダ" + quoted(path) + "を作成できませんでした（" +
                                 reason(err) + "）。");
    }
}

void LibraryFileSystem::moveItem(const std::filesystem::path& from,
                                 const std::filesystem::path& to) {
    // A plain rename() would silently replace an existing target.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // The file system cannot rename without replacing: link then unlink refuses an
        // existing target just the same.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return;
        }
        err = errno;
    }
    const std::string message =
        quoted(from) + "を" + quoted(to) + "に移動できませんでした（" + reason(err) + "）。";
    if (err == EEXIST) throw FileExistsError(message);
    throw std::runtime_error(message);
}

void LibraryFileSystem::writeAtomically(const std::filesystem::path& path, std::string_view data) {
    const std::string error = atomicfile::write(path, data);
    if (!error.empty()) {
        throw std::runtime_error("ファイル" + quoted(path) + "を保存できませんでした（" + error +
                                 "）。");
    }
}
