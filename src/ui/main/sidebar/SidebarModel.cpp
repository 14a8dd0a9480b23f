#include "ui/main/sidebar/SidebarModel.h"

#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/sidebar/RecordColorChoice.h"

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString countWith(std::size_t n, const char* tail) {
    return QString::number(n) + QString::fromUtf8(tail);
}

template <typename Item>
std::vector<MenuEntry> filterMenu(const std::vector<Item>& items, const MainViewModel::IDs& chosen,
                                  const char* none, const char* manage,
                                  const std::function<void(MainViewModel::IDs)>& set,
                                  const std::function<void()>& openManager) {
    std::vector<MenuEntry> out;
    if (items.empty()) out.push_back(MenuEntry::text(QString::fromUtf8(none)));
    for (const Item& item : items) {
        const bool on = chosen.count(item.id) > 0;
        out.push_back(MenuEntry::toggle(q(item.name), on, [chosen, set, id = item.id, on] {
            MainViewModel::IDs ids = chosen;
            if (on)
                ids.erase(id);
            else
                ids.insert(id);
            set(std::move(ids));
        }));
    }
    out.push_back(MenuEntry::separator());
    if (!chosen.empty())
        out.push_back(MenuEntry::item(QStringLiteral("絞り込みを解除"), [set] { set({}); }));
    out.push_back(MenuEntry::item(QString::fromUtf8(manage), openManager));
    return out;
}

}  // namespace

SidebarModel::SidebarModel(MainViewModel& model, MinutesStore& store, LibraryStore& library,
                           QObject* parent)
    : QObject(parent), model_(model), store_(store), library_(library) {}

void SidebarModel::organise(const std::function<void()>& change) const {
    try {
        change();
    } catch (...) {
        // Refusals leave the library as it was; a failed save shows as its last error.
    }
}

// --- Switches

void SidebarModel::toggleFavorites() {
    model_.setFavoritesOnly(!model_.favoritesOnly());
    model_.setArchivedOnly(false);
}

void SidebarModel::toggleArchive() {
    model_.setArchivedOnly(!model_.archivedOnly());
    model_.setFavoritesOnly(false);
}

QString SidebarModel::favoritesSymbol() const {
    return model_.favoritesOnly() ? QStringLiteral("star.fill") : QStringLiteral("star");
}

void SidebarModel::clearSearchConditions() {
    model_.setParticipant("");
    model_.setUseDateRange(false);
    model_.setSelectedFolderIDs({});
    model_.setSelectedTagIDs({});
}

// --- Folder and tag filters

void SidebarModel::openManager() {
    model_.setShowLibraryManager(true);
}

std::vector<MenuEntry> SidebarModel::folderFilterMenu() const {
    MainViewModel& m = model_;
    return filterMenu(
        library_.state().folders, m.selectedFolderIDs(), "フォルダがありません",
        "フォルダを作成・整理…", [&m](MainViewModel::IDs ids) { m.setSelectedFolderIDs(ids); },
        [&m] { m.setShowLibraryManager(true); });
}

std::vector<MenuEntry> SidebarModel::tagFilterMenu() const {
    MainViewModel& m = model_;
    return filterMenu(
        library_.state().tags, m.selectedTagIDs(), "タグがありません", "タグを作成・整理…",
        [&m](MainViewModel::IDs ids) { m.setSelectedTagIDs(ids); },
        [&m] { m.setShowLibraryManager(true); });
}

// --- Select-all

QString SidebarModel::selectAllLabel() const {
    return model_.allFilteredSelected() ? QStringLiteral("すべて解除")
                                        : QStringLiteral("すべて選択");
}

QString SidebarModel::selectAllSymbol() const {
    return model_.allFilteredSelected() ? QStringLiteral("checkmark.circle.fill")
                                        : QStringLiteral("checklist");
}

bool SidebarModel::selectAllEnabled() const {
    return !model_.filtered().empty();
}

QString SidebarModel::selectAllHelp() const {
    return QStringLiteral("表示中の") + QString::number(model_.filtered().size()) +
           QStringLiteral("件をまとめて選択 (") + kShortcutText + QStringLiteral(")");
}

// --- Rows

void SidebarModel::toggleCheck(const std::string& id) {
    MainViewModel::IDs marks = model_.bulkSelection();
    if (!marks.erase(id)) marks.insert(id);
    model_.setBulkSelection(std::move(marks));
}

std::vector<MenuEntry> SidebarModel::rowMenu(const std::string& id) const {
    const MainViewModel::IDs targets = model_.targets(id);
    const LibraryRecordMetadata m = library_.metadata(id);
    LibraryStore& lib = library_;
    MainViewModel& browser = model_;
    auto act = [this](std::function<void()> change) {
        return [this, change = std::move(change)] { organise(change); };
    };
    std::vector<MenuEntry> out;

    for (const RecordColorChoice& c : RecordColorChoice::palette()) {
        MenuEntry e = MenuEntry::item(
            q(c.name), act([&lib, targets, color = c.id] { lib.setColor(color, targets); }));
        e.swatch = c.id;
        out.push_back(std::move(e));
    }
    if (m.color)
        out.push_back(MenuEntry::item(QStringLiteral("色を外す"), act([&lib, targets] {
                                          lib.setColor(std::nullopt, targets);
                                      })));
    out.push_back(MenuEntry::separator());

    out.push_back(MenuEntry::item(
        m.isFavorite ? QStringLiteral("お気に入りを解除") : QStringLiteral("お気に入り"),
        act([&lib, targets, on = !m.isFavorite] { lib.setFavorite(on, targets); })));

    std::vector<MenuEntry> folders;
    for (const LibraryFolder& f : library_.state().folders) {
        const QString mark = m.folderIDs.count(f.id) ? QStringLiteral("✓ ") : QString();
        folders.push_back(MenuEntry::item(mark + q(f.name), act([&lib, targets, fid = f.id] {
                                              lib.setFolders({fid}, targets);
                                          })));
    }
    if (!m.folderIDs.empty())
        folders.push_back(MenuEntry::item(QStringLiteral("フォルダから出す"),
                                          act([&lib, targets] { lib.setFolders({}, targets); })));
    folders.push_back(MenuEntry::separator());
    folders.push_back(MenuEntry::item(QStringLiteral("フォルダを作成…"),
                                      [&browser] { browser.setShowLibraryManager(true); }));
    out.push_back(MenuEntry::submenu(QStringLiteral("フォルダへ移動"), std::move(folders)));

    std::vector<MenuEntry> tags;
    if (library_.state().tags.empty())
        tags.push_back(MenuEntry::item(QStringLiteral("タグを作成…"),
                                       [&browser] { browser.setShowLibraryManager(true); }));
    for (const LibraryTag& t : library_.state().tags)
        tags.push_back(MenuEntry::item(
            q(t.name), act([&lib, targets, tid = t.id] { lib.addTag(tid, targets); })));
    out.push_back(MenuEntry::submenu(QStringLiteral("タグを追加"), std::move(tags)));

    const bool archived = model_.archivedOnly();
    out.push_back(MenuEntry::item(
        archived ? QStringLiteral("アーカイブから戻す") : QStringLiteral("アーカイブ"),
        act([&lib, targets, archived] { lib.setArchived(!archived, targets); })));
    out.push_back(MenuEntry::separator());

    const bool several = targets.size() >= 2;
    MenuEntry del = MenuEntry::item(
        several ? countWith(targets.size(), "件を削除") : QStringLiteral("削除"),
        [this, id, several] {
            if (several) {
                model_.requestBulkDelete();
                return;
            }
            // Looked up when chosen: the record may have gone while the menu was open.
            for (const MinutesRecord& r : store_.records())
                if (r.id == id) return model_.requestDelete(r);
        },
        QStringLiteral("trash"));
    del.destructive = true;
    out.push_back(std::move(del));
    return out;
}

// --- Bulk bar

bool SidebarModel::showsBulkBar() const {
    return !model_.bulkSelection().empty();
}

QString SidebarModel::bulkCountText() const {
    return countText(static_cast<int>(model_.bulkSelection().size()));
}

QString SidebarModel::countText(int count) {
    return countWith(static_cast<std::size_t>(count), "件を選択中");
}

QString SidebarModel::bulkToggleLabel() const {
    return model_.allFilteredSelected() ? QStringLiteral("選択を解除")
                                        : QStringLiteral("すべて選択");
}

bool SidebarModel::showsBulkClear() const {
    return !model_.allFilteredSelected();
}

void SidebarModel::clearBulk() {
    model_.setBulkSelection({});
}

void SidebarModel::colorBulk(const std::optional<std::string>& color) {
    const MainViewModel::IDs marks = model_.bulkSelection();
    organise([&] { library_.setColor(color, marks); });
}

std::vector<MenuEntry> SidebarModel::bulkMenu() const {
    LibraryStore& lib = library_;
    MainViewModel& browser = model_;
    // Read when chosen: the marks are what the bar shows at that moment.
    auto marked = [&browser] { return browser.bulkSelection(); };
    auto act = [this](std::function<void()> change) {
        return [this, change = std::move(change)] { organise(change); };
    };
    std::vector<MenuEntry> out;

    std::vector<MenuEntry> folders;
    for (const LibraryFolder& f : library_.state().folders)
        folders.push_back(MenuEntry::item(
            q(f.name), act([&lib, marked, fid = f.id] { lib.setFolders({fid}, marked()); })));
    const bool hasFolders = !folders.empty();
    out.push_back(
        MenuEntry::submenu(QStringLiteral("フォルダへ移動"), std::move(folders), hasFolders));

    std::vector<MenuEntry> tags;
    for (const LibraryTag& t : library_.state().tags)
        tags.push_back(MenuEntry::item(
            q(t.name), act([&lib, marked, tid = t.id] { lib.addTag(tid, marked()); })));
    const bool hasTags = !tags.empty();
    out.push_back(MenuEntry::submenu(QStringLiteral("タグを追加"), std::move(tags), hasTags));
    out.push_back(MenuEntry::separator());

    out.push_back(MenuEntry::item(QStringLiteral("お気に入りに追加"),
                                  act([&lib, marked] { lib.setFavorite(true, marked()); })));
    const bool archived = model_.archivedOnly();
    out.push_back(MenuEntry::item(
        archived ? QStringLiteral("アーカイブから戻す") : QStringLiteral("アーカイブする"),
        [this, archived] {
            // The records leave the view either way, so the marks go even when saving failed.
            const MainViewModel::IDs marks = model_.bulkSelection();
            organise([&] { library_.setArchived(!archived, marks); });
            model_.setBulkSelection({});
        }));
    out.push_back(MenuEntry::separator());

    MenuEntry del = MenuEntry::item(
        countWith(model_.bulkSelection().size(), "件を削除"),
        [&browser] { browser.requestBulkDelete(); }, QStringLiteral("trash"));
    del.destructive = true;
    out.push_back(std::move(del));
    return out;
}
