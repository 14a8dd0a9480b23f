// GoogleTest entry with a GUI application.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"

int main(int argc, char** argv) {
    testsupport::chooseGuiPlatform();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
