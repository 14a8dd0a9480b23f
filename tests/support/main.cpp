// GoogleTest entry with a Qt application object, so that tests may use signals, timers and
// QSignalSpy. A test folder that needs widgets provides its own main().
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
