#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder under the system temp folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Points HOME and the XDG folders at a fresh TempDir for the lifetime of the object and puts
// the previous values back afterwards, so a test never touches a real user's files.
class ScopedHome {
public:
    ScopedHome();
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

    const std::filesystem::path& home() const { return dir_.path(); }

private:
    TempDir dir_;
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    Saved saved_[4];
};

// Sets TZ for the lifetime of the object (and calls tzset), then restores it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    bool had_;
    std::string old_;
};

}  // namespace testsupport
