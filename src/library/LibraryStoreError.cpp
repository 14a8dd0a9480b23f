#include "library/LibraryStoreError.h"

#include <utility>

LibraryStoreError::LibraryStoreError(Kind kind, const std::string& description,
                                     std::int64_t version, std::string name)
    : std::runtime_error(description), kind_(kind), version_(version), name_(std::move(name)) {}

LibraryStoreError LibraryStoreError::unsupportedVersion(std::int64_t version) {
    return LibraryStoreError(
        Kind::unsupportedVersion,
        "このライブラリデータのバージョン（" + std::to_string(version) + "）には対応していません。",
        version, {});
}

LibraryStoreError LibraryStoreError::duplicateName(const std::string& name) {
    return LibraryStoreError(Kind::duplicateName, "「" + name + "」はすでに存在します。", 0, name);
}

LibraryStoreError LibraryStoreError::itemNotFound() {
    return LibraryStoreError(Kind::itemNotFound, "対象が見つかりません。", 0, {});
}
