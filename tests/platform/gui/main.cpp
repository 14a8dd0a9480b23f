// GoogleTest entry with a GUI application. With "--other-app" the program instead stands in for
// another application: it shows one window, prints its X11 id and runs until killed.
#include <QGuiApplication>
#include <QRasterWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Without a display the tests skip, but the application must still start.
    if (!std::getenv("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--other-app") == 0) {
        QRasterWindow window;
        window.setTitle(QStringLiteral("another application"));
        window.resize(300, 200);
        window.show();
        std::printf("%llu\n", static_cast<unsigned long long>(window.winId()));
        std::fflush(stdout);
        return app.exec();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
