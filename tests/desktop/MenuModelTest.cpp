#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include "FakeRecorder.h"
#include "desktop/ClockText.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuModel.h"

namespace {

using Phase = RecorderControl::Phase;

TEST(ClockText, MinutesAreNeverFoldedIntoHours) {
    for (const auto& [seconds, text] :
         {std::pair{0, "0:00"}, {9, "0:09"}, {60, "1:00"}, {3725, "62:05"}, {-5, "0:00"}})
        EXPECT_EQ(clockText(seconds), text) << seconds;
}

// The labels joined by " | ", "-" for a separator, "(off)" after a disabled item.
std::string shape(const std::vector<MenuItem>& items) {
    std::string out;
    for (const MenuItem& i : items) {
        out += out.empty() ? "" : " | ";
        out += i.kind == MenuItem::Kind::separator ? "-" : i.label + (i.enabled ? "" : " (off)");
    }
    return out;
}

TEST(MenuModel, ItemsFollowPhaseClockAndUpdate) {
    const std::string rest = " | - | TAVROを開く | 設定… | - | TAVROを終了";
    const struct {
        Phase phase;
        int elapsed;
        std::optional<std::string> version;
        std::string head;
    } cases[] = {
        {Phase::idle, 0, {}, "録音を開始"},
        {Phase::recording, 3725, {}, "録音を停止して議事録作成 (62:05)"},
        {Phase::processing, 75, {}, "AIが議事録を作成中… (off)"},
        {Phase::idle, 0, "1.4.0",
         "\u2B07\uFE0E アップデート (v1.4.0) をダウンロード… | - | 録音を開始"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shape(menuItems(c.phase, c.elapsed, c.version)), c.head + rest);
}

QAction* labelled(QMenu* menu, const char* text) {
    for (QAction* a : menu->actions())
        if (a->text() == QString::fromUtf8(text)) return a;
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

    labelled(menu, "録音を開始")->trigger();
    rec.setElapsed(9);
    QAction* stop = labelled(menu, "録音を停止して議事録作成 (0:09)");
    ASSERT_NE(stop, nullptr);
    rec.setElapsed(10);
    EXPECT_EQ(stop->text(), QStringLiteral("録音を停止して議事録作成 (0:10)"))
        << "the clock updates the same item";
    stop->trigger();
    ASSERT_NE(labelled(menu, "AIが議事録を作成中…"), nullptr);
    EXPECT_FALSE(labelled(menu, "AIが議事録を作成中…")->isEnabled());
    EXPECT_EQ(rec.toggles, 2);

    content.setAvailableVersion(std::string("1.4.0"));
    menu->actions()[0]->trigger();
    content.setAvailableVersion(std::nullopt);
    EXPECT_EQ(menu->actions().size(), 8) << "a found version stays";
    for (const char* item : {"TAVROを開く", "設定…", "TAVROを終了"})
        labelled(menu, item)->trigger();
    EXPECT_EQ(std::vector<int>({downloads, mains, settings, quits}), std::vector<int>(4, 1));

    MenuBarContent bare(rec, {});
    bare.setAvailableVersion(std::string("1.4.0 Q&A"));
    EXPECT_EQ(bare.menu()->actions()[0]->text(),
              QStringLiteral("\u2B07\uFE0E アップデート (v1.4.0 Q&&A) をダウンロード…"));
    bare.menu()->actions()[0]->trigger();  // nothing wired: nothing happens, no crash
}

}  // namespace
