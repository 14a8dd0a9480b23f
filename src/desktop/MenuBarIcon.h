#pragma once
// The tray symbol: follows the recorder's phase and opens the tray menu when clicked. Where no
// tray host runs (GNOME without an extension), nothing shows and the main window remains the
// way in.
#include <QIcon>
#include <QObject>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class RecorderControl;

class MenuBarIcon : public QObject {
    Q_OBJECT
public:
    MenuBarIcon(RecorderControl& recorder, QMenu* menu, QObject* parent = nullptr);
    ~MenuBarIcon() override;

    // Whether the desktop has a tray to show it in.
    static bool available();
    // A symbol as the tray shows it: light, with a dark rim, since panels are light or dark and
    // nothing tells which.
    static QIcon trayIconFor(const QString& symbol);

    void setVisible(bool visible);
    QString symbolName() const { return symbol_; }
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

private:
    void refresh();

    RecorderControl& recorder_;
    QMenu* menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QString symbol_;
};
