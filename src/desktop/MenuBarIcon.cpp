#include "desktop/MenuBarIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

#include "desktop/MenuModel.h"
#include "desktop/Symbols.h"
#include "engine/RecorderControl.h"

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

void MenuBarIcon::setVisible(bool visible) {
    tray_->setVisible(visible);
}

void MenuBarIcon::refresh() {
    const QString name = QString::fromStdString(menuBarSymbol(recorder_.phase()));
    if (name == symbol_) return;
    symbol_ = name;
    tray_->setIcon(Symbols::icon(name, QGuiApplication::palette().color(QPalette::WindowText)));
}
