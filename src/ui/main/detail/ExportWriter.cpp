#include "ui/main/detail/ExportWriter.h"

#include <filesystem>

#include "util/AtomicFile.h"
#include "util/FileErrorText.h"

namespace exportwriter {

std::string write(const std::string& path, std::string_view bytes) {
    // Saved where the user chose: the user's umask decides who else may read it.
    const int err = atomicfile::writeOrError(path, bytes, atomicfile::umaskMode());
    if (err == 0) return {};
    return "「" + std::filesystem::path(path).filename().string() + "」に書き込めませんでした (" +
           fileerror::text(err) + ")";
}

}  // namespace exportwriter
