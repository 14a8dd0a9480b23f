// GoogleTest entry with a widget application, for the panels, the tray and the hotkey.
#include <QApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"

int main(int argc, char** argv) {
    testsupport::chooseGuiPlatform();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
