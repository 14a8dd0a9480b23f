#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// The library store's own errors. what() is the user-facing description that lastError and
// the windows show.
class LibraryStoreError : public std::runtime_error {
public:
    enum class Kind { unsupportedVersion, duplicateName, itemNotFound };

    static LibraryStoreError unsupportedVersion(std::int64_t version);
    static LibraryStoreError duplicateName(const std::string& name);
    static LibraryStoreError itemNotFound();

    Kind kind() const { return kind_; }
    // The version read from the file (unsupportedVersion only).
    std::int64_t version() const { return version_; }
    // The name that clashed (duplicateName only).
    const std::string& name() const { return name_; }
    std::string description() const { return what(); }

    bool operator==(const LibraryStoreError& o) const {
        return kind_ == o.kind_ && version_ == o.version_ && name_ == o.name_;
    }

private:
    LibraryStoreError(Kind kind, const std::string& description, std::int64_t version,
                      std::string name);

    Kind kind_;
    std::int64_t version_ = 0;
    std::string name_;
};
