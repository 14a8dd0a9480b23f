#pragma once
// What the sidebar shows and does, without widgets: the two switches, the folder and tag
// filter menus, select-all, the check marks, the row's context menu and the bulk bar with its
// menu. The browsing state itself lives in MainViewModel; organising goes to the library,
// whose refusals are dropped here (a failed save stays visible as the library's last error).
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/main/sidebar/MenuEntry.h"

class LibraryStore;
class MainViewModel;
class MinutesStore;

class SidebarModel : public QObject {
    Q_OBJECT
public:
    SidebarModel(MainViewModel& model, MinutesStore& store, LibraryStore& library,
                 QObject* parent = nullptr);

    MainViewModel& browser() const { return model_; }

    // --- Switches: either one switched, on or off, leaves the other off.
    void toggleFavorites();
    void toggleArchive();
    QString favoritesSymbol() const;
    // Resets participant, date range switch, folders and tags; keeps the query and switches.
    void clearSearchConditions();

    // --- Folder and tag filters.
    std::vector<MenuEntry> folderFilterMenu() const;
    std::vector<MenuEntry> tagFilterMenu() const;
    void openManager();

    // --- Select-all.
    QString selectAllLabel() const;
    QString selectAllSymbol() const;
    bool selectAllEnabled() const;
    QString selectAllHelp() const;

    // --- Rows.
    void toggleCheck(const std::string& id);
    std::vector<MenuEntry> rowMenu(const std::string& id) const;

    // --- Bulk bar, present while something is marked.
    bool showsBulkBar() const;
    QString bulkCountText() const;
    static QString countText(int count);
    QString bulkToggleLabel() const;
    // The "解除" button: only while not every listed record is marked.
    bool showsBulkClear() const;
    void clearBulk();
    void colorBulk(const std::optional<std::string>& color);
    std::vector<MenuEntry> bulkMenu() const;

    static inline const QString kShortcutText = QStringLiteral("Ctrl+Shift+A");

private:
    // A library change; a refusal or failed save is dropped.
    void organise(const std::function<void()>& change) const;

    MainViewModel& model_;
    MinutesStore& store_;
    LibraryStore& library_;
};
