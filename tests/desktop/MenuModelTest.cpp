#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/ClockText.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuModel.h"

#include <QAction>
#include <QMenu>

namespace {

using Phase = RecorderControl::Phase;
using A = MenuItem::Action;

TEST(ClockText, MinutesAreNeverFoldedIntoHours) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "0:00"},     {9, "0:09"},     {59, "0:59"},    {60, "1:00"}, {75, "1:15"},
        {3600, "60:00"}, {3725, "62:05"}, {4503, "75:03"}, {-5, "0:00"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(clockText(seconds), text) << seconds;
}

// Labels of the items, "-" for a separator, "(off)" appended to a disabled item.
std::vector<std::string> shape(const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const MenuItem& i : items) {
        if (i.kind == MenuItem::Kind::separator)
            out.push_back("-");
        else
            out.push_back(i.label + (i.enabled ? "" : " (off)"));
    }
    return out;
}

TEST(MenuModel, ItemsFollowPhaseClockAndUpdate) {
    const std::string download = "\u2B07\uFE0E アップデート (v1.4.0) をダウンロード…";
    struct Case {
        Phase phase;
        int elapsed;
        std::optional<std::string> version;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {Phase::idle, 0, {}, {"録音を開始", "-", "TAVROを開く", "設定…", "-", "TAVROを終了"}},
        {Phase::recording,
         9,
         {},
         {"録音を停止して議事録作成 (0:09)", "-", "TAVROを開く", "設定…", "-", "TAVROを終了"}},
        {Phase::recording,
         3725,
         {},
         {"録音を停止して議事録作成 (62:05)", "-", "TAVROを開く", "設定…", "-", "TAVROを終了"}},
        {Phase::processing,
         75,
         {},
         {"AIが議事録を作成中… (off)", "-", "TAVROを開く", "設定…", "-", "TAVROを終了"}},
        {Phase::idle,
         0,
         "1.4.0",
         {download, "-", "録音を開始", "-", "TAVROを開く", "設定…", "-", "TAVROを終了"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.phase));
        EXPECT_EQ(shape(menuItems(c.phase, c.elapsed, c.version)), c.items);
    }
}

TEST(MenuModel, ActionsAndShortcuts) {
    const auto items = menuItems(Phase::recording, 1, "2.0");
    std::vector<std::pair<A, std::string>> got;
    for (const MenuItem& i : items)
        if (i.kind == MenuItem::Kind::action) got.emplace_back(i.action, i.shortcut);
    const std::vector<std::pair<A, std::string>> want = {
        {A::openDownload, ""},       {A::toggleRecording, ""}, {A::openMainWindow, "Ctrl+O"},
        {A::openSettings, "Ctrl+,"}, {A::quit, "Ctrl+Q"},
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(menuItems(Phase::processing, 0, {})[0].action, A::none);
}

QAction* actionLabelled(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

// The rendered menu drives the recorder and hands the other items to the application.
TEST(MenuBarContent, RendersAndDrives) {
    FakeRecorder rec;
    int downloads = 0, mains = 0, settings = 0, quits = 0;
    MenuBarContent content(
        rec, {[&] { ++downloads; }, [&] { ++mains; }, [&] { ++settings; }, [&] { ++quits; }});
    QMenu* menu = content.menu();
    ASSERT_EQ(menu->actions().size(), 6);
    EXPECT_EQ(menu->actions()[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

    actionLabelled(menu, QStringLiteral("録音を開始"))->trigger();
    EXPECT_EQ(rec.phase(), Phase::recording);
    rec.setElapsed(9);
    QAction* stop = actionLabelled(menu, QStringLiteral("録音を停止して議事録作成 (0:09)"));
    ASSERT_NE(stop, nullptr);
    rec.setElapsed(10);
    EXPECT_EQ(stop->text(), QStringLiteral("録音を停止して議事録作成 (0:10)"))
        << "the clock updates the same item";
    stop->trigger();
    EXPECT_EQ(rec.phase(), Phase::processing);
    QAction* busy = actionLabelled(menu, QStringLiteral("AIが議事録を作成中…"));
    ASSERT_NE(busy, nullptr);
    EXPECT_FALSE(busy->isEnabled());
    EXPECT_EQ(rec.toggles, 2);

    content.setAvailableVersion(std::string("1.4.0"));
    ASSERT_EQ(menu->actions().size(), 8);
    menu->actions()[0]->trigger();
    content.setAvailableVersion(std::nullopt);
    EXPECT_EQ(menu->actions().size(), 8) << "a found version stays";
    actionLabelled(menu, QStringLiteral("TAVROを開く"))->trigger();
    actionLabelled(menu, QStringLiteral("設定…"))->trigger();
    actionLabelled(menu, QStringLiteral("TAVROを終了"))->trigger();
    EXPECT_EQ(std::vector<int>({downloads, mains, settings, quits}),
              std::vector<int>({1, 1, 1, 1}));

    MenuBarContent bare(rec, {});
    bare.setAvailableVersion(std::string("1.4.0"));
    bare.menu()->actions()[0]->trigger();  // nothing wired: nothing happens, no crash
}

}  // namespace
