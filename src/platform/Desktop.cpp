#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QWindow>

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

bool Desktop::systemOpen(const QUrl& url) {
    if (!url.isValid() || url.isRelative()) return false;
    if (guiApp()) return QDesktopServices::openUrl(url);
    // Without a GUI application QDesktopServices refuses; xdg-open does the same job.
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   {QString::fromUtf8(url.toEncoded())});
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
