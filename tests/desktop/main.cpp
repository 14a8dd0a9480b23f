// GoogleTest entry with a widget application, for the panels, the tray and the hotkey. It draws
// on the test X server when scripts/test-env.sh provides one, and offscreen otherwise, so that
// a run from a desktop session never puts windows on the user's own display.
#include <QApplication>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    const char* testDisplay = std::getenv("TAVRO_TEST_DISPLAY");
    const bool ownDisplay = display && testDisplay && std::strcmp(display, testDisplay) == 0;
    if (!std::getenv("QT_QPA_PLATFORM") && !ownDisplay) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
