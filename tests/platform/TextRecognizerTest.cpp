// Tesseract on images that hold nothing to read. Names drawn in a real window are read in the
// MeetingVisionX11 test.
#include "platform/TextRecognizer.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace {

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
