// MeetingVision end to end: a window of another process with the Linux Zoom client's WM_CLASS,
// real screenshots and real recognition (Xvfb and Tesseract in the test environment).
#include "engine/MeetingVision.h"
#include "engine/X11VisionBackend.h"
#include "platform/TextRecognizer.h"
#include "platform/WindowCapture.h"

#include "platform/fixtures/FixtureWindow.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <atomic>

namespace {

// The real backend, counting the passes that got as far as recognition.
class CountingBackend : public VisionBackend {
public:
    explicit CountingBackend(std::shared_ptr<std::atomic<int>> reads) : reads_(std::move(reads)) {}
    std::optional<GrayImage> captureMeetingWindow() override {
        return real_.captureMeetingWindow();
    }
    std::optional<std::vector<std::string>> recognizeText(const GrayImage& image) override {
        auto lines = real_.recognizeText(image);
        ++*reads_;
        return lines;
    }

private:
    X11VisionBackend real_;
    std::shared_ptr<std::atomic<int>> reads_;
};

TEST(MeetingVisionX11, TwoPassesOverAZoomWindowReturnItsNames) {
    TAVRO_REQUIRE_ENV("X display", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("Tesseract model Japanese", TextRecognizer::create("Japanese") != nullptr);

    const std::vector<std::string> japanese{"佐藤花子", "田中健太", "山本美咲"};
    const std::vector<std::string> english{"Alice Johnson", "Bob Smith", "Carol White"};
    QStringList args{"--instance", "zoom",     "--class",   "zoom", "--title",  "Zoom Meeting",
                     "--size",     "1024x640", "--font-px", "15",   "--toolbar"};
    for (const auto& n : japanese) args << QString::fromStdString(n);
    for (const auto& n : english) args << QString::fromStdString(n);
    FixtureWindow fixture(args);
    ASSERT_TRUE(fixture.id());
    auto capture = WindowCapture::open();
    ASSERT_TRUE(capture);
    ASSERT_TRUE(fixture.paintedScreenshot(*capture));

    auto reads = std::make_shared<std::atomic<int>>(0);
    MeetingVision vision([reads] { return std::make_unique<CountingBackend>(reads); },
                         &WindowCapture::displayAvailable, std::chrono::milliseconds(100));
    vision.start();
    // A pass counts its names after its recognition has returned, and a new pass begins only
    // after that: the third recognition means that two passes have been counted.
    ASSERT_TRUE(QTest::qWaitFor([&] { return *reads >= 3; }, 30000));
    const auto names = vision.stop();

    auto has = [&](const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    std::string got;
    for (const auto& n : names) got += "[" + n + "] ";
    for (const auto& n : english) EXPECT_TRUE(has(n)) << n << " not in " << got;
    EXPECT_GE(std::count_if(japanese.begin(), japanese.end(), has), 2) << got;
    // The toolbar's labels are read too, and must all have been taken for controls.
    EXPECT_LE(names.size(), japanese.size() + english.size()) << got;
}

}  // namespace
