#pragma once
// What the privacy tab shows and does: stealth mode, honest about what this desktop can do,
// and hiding the tray icon.
#include <QObject>
#include <QString>

#include <functional>

class UserDefaults;

class PrivacySettingsModel : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kStealthKey = "stealthMode";
    static constexpr const char* kHideTrayKey = "hideMenuBarIcon";

    // `stealthSupported`: whether windows can be kept out of capture here; `trayAvailable`:
    // whether the desktop shows tray icons; `applyStealth` brings the open windows into line.
    PrivacySettingsModel(UserDefaults& defaults, bool stealthSupported, bool trayAvailable,
                         std::function<void()> applyStealth, QObject* parent = nullptr);

    bool stealthMode() const;
    // What the switch shows: off where stealth cannot be had, whatever is stored.
    bool stealthShown() const;
    bool stealthEditable() const { return stealthSupported_; }
    // Stored and applied at once; nothing where stealth cannot be had.
    void setStealthMode(bool on);
    QString stealthCaption() const;

    bool hideTrayIcon() const;
    void setHideTrayIcon(bool hide);
    QString trayCaption() const;

signals:
    void changed();

private:
    UserDefaults& defaults_;
    bool stealthSupported_;
    bool trayAvailable_;
    std::function<void()> applyStealth_;
};
