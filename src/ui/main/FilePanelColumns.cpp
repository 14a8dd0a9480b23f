#include "ui/main/FilePanelColumns.h"

#include <QFileSystemModel>
#include <QLocale>

QVariant FilePanelColumns::data(const QModelIndex& index, int role) const {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files ||
        (index.column() != kSizeColumn && index.column() != kDateColumn))
        return QIdentityProxyModel::data(index, role);
    const QModelIndex file = mapToSource(index);
    if (index.column() == kDateColumn)
        return QLocale().toString(files->lastModified(file), QLocale::ShortFormat);
    // Folders have no size shown, as in the file model.
    if (files->isDir(file)) return QString();
    return QLocale().formattedDataSize(files->size(file));
}
