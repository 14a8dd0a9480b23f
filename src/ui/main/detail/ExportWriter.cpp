#include "ui/main/detail/ExportWriter.h"

#include <QFileInfo>
#include <QSaveFile>

namespace exportwriter {

namespace {

std::string failure(const QString& path, const QSaveFile& file) {
    return "「" + QFileInfo(path).fileName().toStdString() + "」に書き込めませんでした (" +
           file.errorString().toStdString() + ")";
}

}  // namespace

std::string write(const std::string& path, std::string_view bytes) {
    const QString target = QString::fromStdString(path);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) return failure(target, file);
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return failure(target, file);
    }
    if (!file.commit()) return failure(target, file);
    return {};
}

}  // namespace exportwriter
