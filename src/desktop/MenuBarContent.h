#pragma once
// The tray menu: the menu model rendered into a QMenu, kept current with the recorder's phase
// and clock and the available update. What the window and update items do is handed in, so
// the application decides how its windows open and where downloads come from.
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/MenuModel.h"

class QAction;
class QMenu;
class RecorderControl;

struct MenuActions {
    std::function<void()> openDownload;    // the update's download; nothing when none is known
    std::function<void()> openMainWindow;  // open the main window and bring the app forward
    std::function<void()> openSettings;
    std::function<void()> quit;
};

class MenuBarContent : public QObject {
    Q_OBJECT
public:
    MenuBarContent(RecorderControl& recorder, MenuActions actions, QObject* parent = nullptr);
    ~MenuBarContent() override;

    QMenu* menu() const { return menu_.get(); }
    const std::vector<MenuItem>& items() const { return items_; }

    // The update checker's version; once set the download item stays.
    void setAvailableVersion(std::optional<std::string> version);

private:
    void refresh();
    void trigger(MenuItem::Action action);

    RecorderControl& recorder_;
    MenuActions actions_;
    std::optional<std::string> availableVersion_;
    std::unique_ptr<QMenu> menu_;
    std::vector<MenuItem> items_;
    std::vector<QAction*> qactions_;
};
