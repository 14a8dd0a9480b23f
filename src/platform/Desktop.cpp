#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWindow>

#include <gio/gio.h>

#include <mutex>

namespace {

std::mutex hooksMutex;
Desktop::Opener opener;
Desktop::Activator activator;

template <typename Hook>
Hook swap(Hook& slot, Hook replacement) {
    std::lock_guard lock(hooksMutex);
    Hook previous = std::move(slot);
    slot = std::move(replacement);
    return previous;
}

template <typename Hook>
Hook current(const Hook& slot) {
    std::lock_guard lock(hooksMutex);
    return slot;
}

QGuiApplication* guiApp() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

}  // namespace

bool Desktop::openUrl(const QUrl& url) {
    if (Opener hook = current(opener)) return hook(url);
    return systemOpen(url);
}

void Desktop::bringToFront() {
    if (Activator hook = current(activator)) return hook();
    systemBringToFront();
}

Desktop::Opener Desktop::setOpener(Opener replacement) {
    return swap(opener, std::move(replacement));
}

Desktop::Activator Desktop::setActivator(Activator replacement) {
    return swap(activator, std::move(replacement));
}

QString Desktop::cannotOpenText(const QUrl& url) {
    if (!url.isLocalFile()) {
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            return noBrowserText();
        return QStringLiteral("リンクを開けませんでした。");
    }
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isDir()) return cannotOpenFolderText(path);
    return QStringLiteral("ファイルを開けませんでした: ") + path;
}

QString Desktop::cannotOpenFolderText(const QString& path) {
    return QStringLiteral("フォルダを開けませんでした: ") + path;
}

QString Desktop::noBrowserText() {
    return QStringLiteral("ブラウザを開けませんでした。既定のブラウザを確認してください。");
}

bool Desktop::systemOpen(const QUrl& url) {
    if (!url.isValid() || url.isRelative()) return false;
    // GIO starts the application itself and so knows when there is none, or it cannot start.
    // Handing the address to xdg-open would only tell that xdg-open started: where nothing is
    // set up, it fails a moment later, unseen.
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(url.toEncoded().constData(), nullptr, &error);
    if (error) g_error_free(error);
    return ok;
}

void Desktop::systemBringToFront() {
    if (!guiApp()) return;
    QWindow* first = nullptr;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        // Floating tool panels never take the focus, and minimized windows stay where they are.
        const bool ordinary = window->type() == Qt::Window || window->type() == Qt::Dialog;
        if (!ordinary || !window->isVisible() || window->windowState() == Qt::WindowMinimized)
            continue;
        window->raise();
        if (!first) first = window;
    }
    if (first) first->requestActivate();
}
