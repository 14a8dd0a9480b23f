// Window listing and screenshots against a real X server (Xvfb in the test environment).
#include "platform/WindowCapture.h"

#include "platform/fixtures/FixtureWindow.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

std::optional<WindowInfo> findWindow(WindowCapture& capture, std::uint32_t id) {
    for (const WindowInfo& w : capture.windows())
        if (w.id == id) return w;
    return std::nullopt;
}

double meanLevel(const GrayImage& image) {
    return std::accumulate(image.pixels.begin(), image.pixels.end(), 0.0) /
           double(image.pixels.size());
}

class WindowCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAVRO_REQUIRE_ENV("X display", testsupport::probeDisplay());
        capture_ = WindowCapture::open();
        ASSERT_TRUE(capture_);
    }
    std::unique_ptr<WindowCapture> capture_;
};

TEST_F(WindowCaptureTest, ListsAnotherProcesssWindowUntilItCloses) {
    FixtureWindow fixture(
        {"--instance", "zoom", "--class", "Zoom", "--title", "Zoom 会議", "--size", "640x480"});
    ASSERT_TRUE(fixture.id());
    const std::uint32_t id = *fixture.id();
    std::optional<WindowInfo> w;
    // The window manager may still be settling the size it grants.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        w = findWindow(*capture_, id);
        return w && w->width == 640 && w->height == 480;
    }));
    EXPECT_EQ(w->wmInstance, "zoom");
    EXPECT_EQ(w->wmClass, "Zoom");
    EXPECT_EQ(w->title, "Zoom 会議");
    EXPECT_EQ(w->pid, fixture.pid());

    fixture.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !findWindow(*capture_, id); }));
    EXPECT_FALSE(capture_->screenshot(id));
}

TEST_F(WindowCaptureTest, ReadsTheTrueContentOfACoveredWindowAndListsTopmostFirst) {
    FixtureWindow below({"--class", "below", "--size", "600x400", "--fill", "#ffffff"});
    FixtureWindow above({"--class", "above", "--size", "1280x800", "--fill", "#000000"});
    ASSERT_TRUE(below.id() && above.id());
    std::optional<GrayImage> covered;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        covered = capture_->screenshot(*below.id());
        return covered && meanLevel(*covered) > 250;
    })) << "mean level "
        << (covered ? meanLevel(*covered) : -1);
    EXPECT_EQ(covered->width, 600);
    EXPECT_EQ(covered->height, 400);
    // The top window too may still read blank (redirected, not yet repainted).
    std::optional<GrayImage> top;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        top = capture_->screenshot(*above.id());
        return top && meanLevel(*top) < 5;
    })) << "mean level "
        << (top ? meanLevel(*top) : -1);

    if (!capture_->composited()) GTEST_SKIP() << "no Composite extension";
    const auto list = capture_->windows();
    const auto pos = [&](std::uint32_t id) {
        return std::find_if(list.begin(), list.end(), [&](const auto& w) { return w.id == id; });
    };
    ASSERT_NE(pos(*above.id()), list.end());
    EXPECT_LT(pos(*above.id()), pos(*below.id()));
}

}  // namespace
