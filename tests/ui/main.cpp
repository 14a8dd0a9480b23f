// GoogleTest entry with a widget application, for the windows and their views.
#include <QApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"
#include "support/ScopedMount.h"

int main(int argc, char** argv) {
#ifdef TAVRO_TEST_PRIVATE_MOUNTS
    // While the process has one thread: a test puts a folder in another's place, unseen by
    // other processes.
    testsupport::ScopedMount::enterPrivateNamespace();
#endif
    testsupport::chooseGuiPlatform();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
