#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace Clipboard {

namespace {

// Without a GUI application object there is no clipboard to reach.
QClipboard* clipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

}  // namespace

void setText(const std::string& text) {
    auto* clipboard = Clipboard::clipboard();
    if (!clipboard) return;
    // Clear first so that no richer format of the previous content survives beside the text.
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
}

std::string text() {
    auto* clipboard = Clipboard::clipboard();
    return clipboard ? clipboard->text().toStdString() : std::string();
}

}  // namespace Clipboard
