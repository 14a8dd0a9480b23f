// Tesseract's reading of names as a meeting client draws them, in a real window under Xvfb.
#include "platform/TextRecognizer.h"
#include "platform/WindowCapture.h"

#include "platform/fixtures/FixtureWindow.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace {

TEST(TextRecognizerTest, ReadsJapaneseAndEnglishNamesFromAMeetingWindow) {
    TAVRO_REQUIRE_ENV("X display", testsupport::probeDisplay());
    auto recognizer = TextRecognizer::create("Japanese");
    TAVRO_REQUIRE_ENV("Tesseract model Japanese", recognizer != nullptr);
    auto capture = WindowCapture::open();
    ASSERT_TRUE(capture);
    const std::vector<std::string> japanese{"佐藤花子", "田中健太", "山本美咲"};
    const std::vector<std::string> english{"Alice Johnson", "Bob Smith", "Carol White"};
    QStringList args{"--class", "names", "--size", "1024x640", "--font-px", "15"};
    for (const auto& n : japanese) args << QString::fromStdString(n);
    for (const auto& n : english) args << QString::fromStdString(n);
    FixtureWindow fixture(args);
    const auto image = fixture.paintedScreenshot(*capture);
    ASSERT_TRUE(image);
    const auto lines = recognizer->recognizeLines(*image);
    ASSERT_TRUE(lines);
    std::string read;
    for (const auto& l : *lines) read += "[" + l + "] ";
    const auto count = [&](const std::vector<std::string>& names) {
        return std::count_if(names.begin(), names.end(), [&](const auto& n) {
            return std::find(lines->begin(), lines->end(), n) != lines->end();
        });
    };
    EXPECT_EQ(count(english), 3) << read;
    EXPECT_GE(count(japanese), 2) << read;
}

TEST(TextRecognizerTest, ABlankImageHasNoLinesAndABadOneFails) {
    EXPECT_EQ(TextRecognizer::create("no-such-model"), nullptr);
    auto recognizer = TextRecognizer::create("Japanese");
    TAVRO_REQUIRE_ENV("Tesseract model Japanese", recognizer != nullptr);
    const auto lines =
        recognizer->recognizeLines(GrayImage{320, 200, std::vector<std::uint8_t>(320 * 200, 0x20)});
    ASSERT_TRUE(lines);
    EXPECT_TRUE(lines->empty());
    EXPECT_FALSE(recognizer->recognizeLines(GrayImage{}));
    // A size that promises more pixels than there are must not be read past the end.
    EXPECT_FALSE(recognizer->recognizeLines(GrayImage{10, 10, std::vector<std::uint8_t>(50)}));
}

}  // namespace
