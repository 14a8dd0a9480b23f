#include <functional>

#include "library/LibraryStore.h"
#include "ui/UiFixture.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/sidebar/RecordColorChoice.h"
#include "ui/main/sidebar/SidebarModel.h"

namespace {

using IDs = MainViewModel::IDs;
using V = std::vector<QString>;

// A menu as one line per entry: "-" a divider, "[x] "/"[ ] " a switch, "> " a submenu ("(off)"
// when disabled), "( )" a plain text.
QString describe(const MenuEntry& e) {
    switch (e.kind) {
        case MenuEntry::Kind::separator:
            return "-";
        case MenuEntry::Kind::toggle:
            return (e.checked ? "[x] " : "[ ] ") + e.label;
        case MenuEntry::Kind::submenu:
            return "> " + e.label + (e.enabled ? "" : " (off)");
        case MenuEntry::Kind::text:
            return "(" + e.label + ")";
        case MenuEntry::Kind::action:
            break;
    }
    return e.label;
}
std::vector<QString> describe(const std::vector<MenuEntry>& entries) {
    std::vector<QString> out;
    for (const MenuEntry& e : entries) out.push_back(describe(e));
    return out;
}

const MenuEntry& entry(const std::vector<MenuEntry>& entries, const QString& label) {
    for (const MenuEntry& e : entries)
        if (e.label == label) return e;
    ADD_FAILURE() << "no entry " << label.toStdString();
    static const MenuEntry none;
    return none;
}

void choose(const std::vector<MenuEntry>& entries, const QString& label) {
    if (const auto& e = entry(entries, label); e.action) e.action();
}

class SidebarModelTest : public StoresFixture {
protected:
    MainViewModel browser{store, library, defaults, dialogs};
    SidebarModel sidebar{browser, store, library};
};

TEST_F(SidebarModelTest, SwitchesExcludeEachOtherAndClearingKeepsQueryAndSwitches) {
    const auto switches = [&] {
        return std::pair(browser.favoritesOnly(), browser.archivedOnly());
    };
    sidebar.toggleFavorites();
    sidebar.toggleArchive();
    EXPECT_EQ(switches(), std::pair(false, true)) << "archive takes over";
    sidebar.toggleFavorites();
    EXPECT_EQ(switches(), std::pair(true, false)) << "favourites take over";
    sidebar.toggleArchive();
    sidebar.toggleArchive();
    EXPECT_EQ(switches(), std::pair(false, false)) << "archive off leaves favourites off";
    sidebar.toggleFavorites();
    EXPECT_EQ(sidebar.favoritesSymbol(), "star.fill");

    const auto folder = library.createFolder("営業").id;
    const auto tag = library.createTag("至急").id;
    browser.setQuery("予算");
    browser.setParticipant("伊藤");
    browser.setUseDateRange(true);
    browser.setSelectedFolderIDs({folder});
    browser.setSelectedTagIDs({tag});
    const Timestamp start = browser.startDate();
    sidebar.clearSearchConditions();
    EXPECT_EQ(browser.query(), "予算");
    EXPECT_TRUE(browser.favoritesOnly());
    EXPECT_EQ(browser.participant(), "");
    EXPECT_FALSE(browser.useDateRange());
    EXPECT_TRUE(browser.selectedFolderIDs().empty());
    EXPECT_TRUE(browser.selectedTagIDs().empty());
    EXPECT_EQ(browser.startDate(), start);
}

TEST_F(SidebarModelTest, FolderAndTagFilterMenus) {
    EXPECT_EQ(describe(sidebar.folderFilterMenu()),
              (V{"(フォルダがありません)", "-", "フォルダを作成・整理…"}));
    EXPECT_EQ(describe(sidebar.tagFilterMenu()),
              (V{"(タグがありません)", "-", "タグを作成・整理…"}));

    const auto design = library.createFolder("デザイン").id;
    library.createFolder("営業");
    library.createTag("至急");
    choose(sidebar.folderFilterMenu(), "デザイン");
    EXPECT_EQ(browser.selectedFolderIDs(), IDs{design});
    EXPECT_EQ(describe(sidebar.folderFilterMenu()),
              (V{"[x] デザイン", "[ ] 営業", "-", "絞り込みを解除", "フォルダを作成・整理…"}));
    choose(sidebar.folderFilterMenu(), "営業");
    EXPECT_EQ(browser.folderFilterLabel(), "フォルダ2件");
    choose(sidebar.folderFilterMenu(), "デザイン");
    EXPECT_EQ(browser.folderFilterLabel(), "営業");
    choose(sidebar.folderFilterMenu(), "絞り込みを解除");
    EXPECT_TRUE(browser.selectedFolderIDs().empty());

    choose(sidebar.tagFilterMenu(), "至急");
    EXPECT_EQ(describe(sidebar.tagFilterMenu()),
              (V{"[x] 至急", "-", "絞り込みを解除", "タグを作成・整理…"}));
    choose(sidebar.tagFilterMenu(), "タグを作成・整理…");
    EXPECT_TRUE(browser.showLibraryManager());
}

TEST_F(SidebarModelTest, RowMenuLabelsFollowTheClickedRecordAndActOnTheTargets) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    const std::string c = addRecord("週次定例").id;
    const auto design = library.createFolder("デザイン").id;
    const auto sales = library.createFolder("営業").id;
    library.setFolders({design}, {a});
    library.setFavorite(true, {a});
    library.setColor("unknown-colour", {b});
    browser.setBulkSelection({a, b});
    browser.setSelectedID(c);

    // The 13 colours come first, each with its swatch.
    const auto menuA = sidebar.rowMenu(a);
    ASSERT_GE(menuA.size(), 13u);
    for (std::size_t i = 0; i < 13; ++i) {
        EXPECT_EQ(menuA[i].swatch, RecordColorChoice::palette()[i].id);
        EXPECT_EQ(menuA[i].label.toStdString(), RecordColorChoice::palette()[i].name);
    }
    auto tail = [](std::vector<MenuEntry> menu) {
        return describe(std::vector<MenuEntry>(menu.begin() + 13, menu.end()));
    };
    struct Case {
        std::string id;
        bool archived;
        V labels;
        V folders;
    };
    const Case cases[] = {
        // Marked, favourite, in a folder, no colour: acts on both marks.
        {a,
         false,
         {"-", "お気に入りを解除", "> フォルダへ移動", "> タグを追加", "アーカイブ", "-",
          "2件を削除"},
         {"✓ デザイン", "営業", "フォルダから出す", "-", "フォルダを作成…"}},
        // An unknown colour still offers to remove it.
        {b,
         false,
         {"色を外す", "-", "お気に入り", "> フォルダへ移動", "> タグを追加", "アーカイブ", "-",
          "2件を削除"},
         {"デザイン", "営業", "-", "フォルダを作成…"}},
        // Not marked: alone, whatever else is marked.
        {c,
         true,
         {"-", "お気に入り", "> フォルダへ移動", "> タグを追加", "アーカイブから戻す", "-", "削除"},
         {"デザイン", "営業", "-", "フォルダを作成…"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.id);
        browser.setArchivedOnly(k.archived);
        const auto menu = sidebar.rowMenu(k.id);
        EXPECT_EQ(tail(menu), k.labels);
        EXPECT_EQ(describe(entry(menu, "フォルダへ移動").children), k.folders);
        EXPECT_EQ(describe(entry(menu, "タグを追加").children), V{"タグを作成…"});
    }
    browser.setArchivedOnly(false);

    // Actions: a marked row reaches every mark, an unmarked row only itself.
    choose(sidebar.rowMenu(a), "ブルー");
    EXPECT_EQ(library.metadata(b).color, "blue");
    choose(entry(sidebar.rowMenu(b), "フォルダへ移動").children, "営業");
    EXPECT_EQ(library.metadata(a).folderIDs, IDs{sales}) << "one folder only";
    choose(sidebar.rowMenu(c), "アーカイブ");
    EXPECT_TRUE(library.metadata(c).archivedAt.has_value());
    EXPECT_FALSE(library.metadata(a).archivedAt.has_value());
    EXPECT_EQ(browser.bulkSelection(), (IDs{a, b})) << "row actions keep the marks";
    EXPECT_EQ(browser.selectedID(), c);

    // Delete: one target asks about that record, several the bulk question.
    dialogs.answer = false;
    choose(sidebar.rowMenu(c), "削除");
    choose(sidebar.rowMenu(a), "2件を削除");
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].title, "「週次定例」を削除しますか?");
    EXPECT_EQ(dialogs.asked[1].title, "選択した2件を削除しますか?");
}

TEST_F(SidebarModelTest, BulkBarAndMenu) {
    const std::string a = addRecord("予算会議").id;
    const std::string b = addRecord("採用面接").id;
    EXPECT_FALSE(sidebar.showsBulkBar());
    EXPECT_EQ(sidebar.selectAllHelp(), "表示中の2件をまとめて選択 (Ctrl+Shift+A)");

    sidebar.toggleCheck(a);
    EXPECT_TRUE(sidebar.showsBulkBar());
    EXPECT_EQ(sidebar.bulkCountText(), "1件を選択中");
    EXPECT_EQ(sidebar.bulkToggleLabel(), "すべて選択");
    EXPECT_TRUE(sidebar.showsBulkClear());
    EXPECT_EQ(sidebar.selectAllLabel(), "すべて選択");
    EXPECT_EQ(describe(sidebar.bulkMenu()),
              (V{"> フォルダへ移動 (off)", "> タグを追加 (off)", "-", "お気に入りに追加",
                 "アーカイブする", "-", "1件を削除"}));

    browser.toggleSelectAll();
    EXPECT_EQ(sidebar.bulkToggleLabel(), "選択を解除");
    EXPECT_FALSE(sidebar.showsBulkClear());
    EXPECT_EQ(sidebar.selectAllLabel(), "すべて解除");
    EXPECT_EQ(sidebar.selectAllSymbol(), "checkmark.circle.fill");

    // Colour, folder, tag and favourite keep the marks; hidden marked records are included.
    const auto folder = library.createFolder("営業").id;
    const auto tag = library.createTag("至急").id;
    browser.setQuery("予算");
    sidebar.colorBulk("red");
    choose(entry(sidebar.bulkMenu(), "フォルダへ移動").children, "営業");
    choose(entry(sidebar.bulkMenu(), "タグを追加").children, "至急");
    choose(sidebar.bulkMenu(), "お気に入りに追加");
    for (const auto& id : {a, b}) {
        const auto m = library.metadata(id);
        EXPECT_EQ(m.color, "red");
        EXPECT_EQ(m.folderIDs, IDs{folder});
        EXPECT_EQ(m.tagIDs, IDs{tag});
        EXPECT_TRUE(m.isFavorite);
    }
    EXPECT_EQ(browser.bulkSelection(), (IDs{a, b}));
    sidebar.colorBulk(std::nullopt);
    EXPECT_EQ(library.metadata(b).color, std::nullopt);

    // Only archiving clears the marks, even when the library refuses nothing to save.
    choose(sidebar.bulkMenu(), "アーカイブする");
    EXPECT_TRUE(browser.bulkSelection().empty());
    EXPECT_TRUE(browser.filtered().empty()) << "a library change refilters the kept list";
    EXPECT_TRUE(library.metadata(b).archivedAt.has_value());
    browser.setArchivedOnly(true);
    browser.setQuery("");
    browser.toggleSelectAll();
    choose(sidebar.bulkMenu(), "アーカイブから戻す");
    EXPECT_FALSE(library.metadata(a).archivedAt.has_value());
    EXPECT_FALSE(sidebar.showsBulkBar());
}

TEST(RecordColorChoice, TintOpacityFromLuma) {
    struct Case {
        std::array<double, 3> rgb;
        double opacity;
    };
    const Case cases[] = {
        {{1, 1, 1}, 0.16},  // 0.14 raised to the floor
        {{0, 0, 0}, 0.40},  // 0.42 lowered to the ceiling
        {RecordColorChoice::find("yellow")->rgb, 0.2093},
        {RecordColorChoice::find("blue")->rgb, 0.296},
    };
    for (const Case& c : cases) EXPECT_NEAR(RecordColorChoice::tintOpacity(c.rgb), c.opacity, 1e-3);
    EXPECT_EQ(RecordColorChoice::find("Purple"), nullptr);
}

}  // namespace
