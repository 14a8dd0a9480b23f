#include "desktop/MenuBarIcon.h"

#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "desktop/MenuModel.h"
#include "desktop/Symbols.h"
#include "engine/RecorderControl.h"

#include <algorithm>

namespace {
const QColor kInk(0xf4, 0xf4, 0xf4);
const QColor kRim(0x1c, 0x1c, 0x1c);
}  // namespace

MenuBarIcon::MenuBarIcon(RecorderControl& recorder, QMenu* menu, QObject* parent)
    : QObject(parent),
      recorder_(recorder),
      menu_(menu),
      tray_(std::make_unique<QSystemTrayIcon>()) {
    tray_->setToolTip(QStringLiteral("TAVRO"));
    tray_->setContextMenu(menu_);
    // A click on the symbol opens the menu, as a menu-bar item does.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && menu_) menu_->popup(QCursor::pos());
            });
    connect(&recorder_, &RecorderControl::phaseChanged, this, &MenuBarIcon::refresh);
    refresh();
}

MenuBarIcon::~MenuBarIcon() = default;

bool MenuBarIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QIcon MenuBarIcon::trayIconFor(const QString& symbol) {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const qreal rim = std::max(1, side / 20);
        const QRectF box = QRectF(0, 0, side, side).adjusted(rim, rim, -rim, -rim);
        // The rim: the symbol in the dark colour, shifted around the light one.
        for (const int dx : {-1, 0, 1})
            for (const int dy : {-1, 0, 1})
                if (dx != 0 || dy != 0)
                    Symbols::paint(painter, symbol, box.translated(dx * rim, dy * rim), kRim);
        Symbols::paint(painter, symbol, box, kInk);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void MenuBarIcon::setVisible(bool visible) {
    tray_->setVisible(visible);
}

void MenuBarIcon::refresh() {
    const QString name = QString::fromStdString(menuBarSymbol(recorder_.phase()));
    if (name == symbol_) return;
    symbol_ = name;
    tray_->setIcon(trayIconFor(name));
}
