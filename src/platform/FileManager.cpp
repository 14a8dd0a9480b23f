#include "platform/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

#include "platform/Desktop.h"

namespace {

void openFolderOf(const QString& path, const FileManager::Unopened& unopened) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!Desktop::openUrl(QUrl::fromLocalFile(folder)) && unopened)
        unopened(Desktop::cannotOpenFolderText(folder));
}

}  // namespace

void FileManager::showItem(const std::string& path, Unopened unopened) {
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return openFolderOf(file, unopened);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)} << QString();
    // Long enough for the bus to start a file manager that is not running yet.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [file, unopened = std::move(unopened)](QDBusPendingCallWatcher* w) {
                         // No file manager on the bus, or one that refused: the folder at least.
                         if (w->isError()) openFolderOf(file, unopened);
                         w->deleteLater();
                     });
}
