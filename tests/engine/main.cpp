// GoogleTest entry with a GUI application: the engine puts minutes on the clipboard.
#include <sched.h>
#include <sys/mount.h>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "support/GuiPlatform.h"

int main(int argc, char** argv) {
    // A mount namespace of our own, made while the process has one thread (as root), lets a test
    // mount a small file system that no other process sees.
    if (unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
        setenv("TAVRO_TEST_PRIVATE_MOUNTS", "1", 1);
    testsupport::chooseGuiPlatform();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
