// GoogleTest entry with a widget application: the windows and the tray are widgets.
#include <QApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"

int main(int argc, char** argv) {
    testsupport::chooseGuiPlatform();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
