// GoogleTest entry with a GUI application: the engine puts minutes on the clipboard.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"
#include "support/ScopedMount.h"

int main(int argc, char** argv) {
    // While the process has one thread: a test mounts a small file system that no other
    // process sees.
    testsupport::ScopedMount::enterPrivateNamespace();
    testsupport::chooseGuiPlatform();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
