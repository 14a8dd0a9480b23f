#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// The file operations the library store needs, behind a seam so that tests can make any one of
// them fail. Failures are thrown as std::runtime_error whose what() is a user-facing
// description.
class LibraryFileSystem {
public:
    virtual ~LibraryFileSystem() = default;

    // The process-wide instance over the real file system.
    static LibraryFileSystem& standard();

    virtual bool fileExists(const std::filesystem::path& path) const;
    virtual std::string readFile(const std::filesystem::path& path) const;
    // Creates the folder and every missing parent; an existing folder is no error.
    virtual void createDirectories(const std::filesystem::path& path);
    // Renames `from` to `to`. Never replaces an existing `to`: that fails with
    // FileExistsError, so an earlier file of the same name is never lost.
    virtual void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);
    // Whole-file write: a reader sees either the old or the new content.
    virtual void writeAtomically(const std::filesystem::path& path, std::string_view data);

    class FileExistsError;
};

class LibraryFileSystem::FileExistsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
