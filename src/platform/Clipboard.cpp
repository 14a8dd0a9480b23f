#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace Clipboard {

void setText(const std::string& text) {
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    // Clear first so that no richer format of the previous content survives beside the text.
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
}

std::string text() {
    auto* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text().toStdString() : std::string();
}

}  // namespace Clipboard
