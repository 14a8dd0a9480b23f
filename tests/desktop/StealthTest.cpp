// Keeping windows out of screen capture: the rules over stand-in windows, then over real ones.
#include <QLabel>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include "desktop/FloatingPanel.h"
#include "desktop/Stealth.h"
#include "platform/CaptureExclusion.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

constexpr std::uint32_t kPrimary = StealthWindow::kFullScreenPrimary;
constexpr std::uint32_t kNone = StealthWindow::kFullScreenNone;

struct FakeWindow : StealthWindow {
    FakeWindow(bool panel, bool resizable, SharingType sharing, std::uint32_t behavior)
        : panel(panel), resizable(resizable), sharing(sharing), behavior(behavior) {}
    bool isPanel() const override { return panel; }
    bool isResizable() const override { return resizable; }
    SharingType sharingType() const override { return sharing; }
    void setSharingType(SharingType t) override {
        sharing = t;
        ++writes;
    }
    std::uint32_t collectionBehavior() const override { return behavior; }
    void setCollectionBehavior(std::uint32_t b) override {
        behavior = b;
        ++writes;
    }
    bool panel, resizable;
    SharingType sharing;
    std::uint32_t behavior;
    int writes = 0;
};

TEST(Stealth, ClassifiesWindowsAndWritesOnlyChanges) {
    using S = SharingType;
    const struct {
        const char* name;
        FakeWindow before;
        bool stealth;
        S sharing;
        std::uint32_t behavior;
        int writes;
    } cases[] = {
        {"panel, stealth on", {true, false, S::readOnly, 0}, true, S::none, 0, 1},
        {"panel, stealth off", {true, false, S::none, 0}, false, S::readOnly, 0, 1},
        {"panel already right", {true, false, S::none, 0}, true, S::none, 0, 0},
        {"resizable panel", {true, true, S::readOnly, kNone}, true, S::none, kNone, 1},
        {"main window", {false, true, S::none, kNone | 1}, true, S::readOnly, kPrimary | 1, 2},
        {"main window, off", {false, true, S::readOnly, 0}, false, S::readOnly, kPrimary, 1},
        {"settled main", {false, true, S::readOnly, kPrimary}, true, S::readOnly, kPrimary, 0},
        {"fixed-size window", {false, false, S::none, kNone}, false, S::none, kNone, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w = c.before;
        Stealth::applyTo({&w}, c.stealth);
        EXPECT_EQ(w.sharing, c.sharing);
        EXPECT_EQ(w.behavior, c.behavior);
        EXPECT_EQ(w.writes, c.writes);
    }
}

// Over the application's real windows: applied at start, then again at the next change of
// focus window once the setting changed. Linux cannot honour the request, and says so.
TEST(Stealth, AppliesToTheApplicationsWindowsAndFollowsTheSetting) {
    EXPECT_FALSE(Stealth::supported());
    EXPECT_FALSE(CaptureExclusion::supported());
    // The triggers keep the store for the rest of the process.
    static testsupport::TempDir dir;
    static UserDefaults defaults(dir / "defaults.json");
    FloatingPanel panel(new QLabel(QStringLiteral("pill")));
    QMainWindow main;
    QLabel fixed(QStringLiteral("fixed"));
    fixed.setFixedSize(100, 40);
    Stealth::setSharingType(&panel, SharingType::readOnly);
    Stealth::setSharingType(&fixed, SharingType::none);

    Stealth::start(defaults);  // on when absent
    EXPECT_EQ(Stealth::sharingType(&panel), SharingType::none);
    EXPECT_EQ(Stealth::sharingType(&main), SharingType::readOnly);
    EXPECT_EQ(main.property("tavroCollectionBehavior").toUInt(), kPrimary);
    EXPECT_EQ(Stealth::sharingType(&fixed), SharingType::none) << "not resizable: untouched";

    defaults.set("stealthMode", false);
    main.show();
    main.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Stealth::sharingType(&panel) == SharingType::readOnly; }, 5000));
}

}  // namespace
