#include "util/FileErrorText.h"

#include <cerrno>
#include <cstring>

namespace fileerror {

std::string text(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return "書き込む権限がありません";
        case EROFS:
            return "読み取り専用の場所です";
        case ENOSPC:
        case EDQUOT:
            return "ディスクの空き容量が足りません";
        case ENOENT:
        case ENOTDIR:
            return "保存先のフォルダが見つかりません";
        default:
            return std::strerror(err);
    }
}

}  // namespace fileerror
