// Opening addresses through the desktop's own handler lookup (xdg-open), with a handler of the
// test's registered in a temporary home.
#include <QTest>

#include <gtest/gtest.h>

#include "support/AudioFixtures.h"
#include "platform/Desktop.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

TEST(Desktop, OpensAnAddressWithTheRegisteredHandler) {
    TAVRO_REQUIRE_ENV("display", testsupport::probeDisplay());
    testsupport::ScopedHome home;
    const fs::path dir = home.home(), opened = dir / "opened";
    const auto write = [&](const fs::path& path, const std::string& text) {
        fs::create_directories((dir / path).parent_path());
        std::ofstream(dir / path) << text;
    };
    // The handler records the address it was given, then renames so that a reader never sees a
    // half-written file.
    write("record.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"" +
                           opened.string() + "\"\n");
    fs::permissions(dir / "record.sh", fs::perms::owner_all);
    write(
        ".local/share/applications/tavro-open-test.desktop",
        "[Desktop Entry]\nType=Application\nName=Open test\nExec=" + (dir / "record.sh").string() +
            " %u\nMimeType=x-scheme-handler/tavro-open-test;\nNoDisplay=true\n");
    write(".config/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/tavro-open-test=tavro-open-test.desktop\n");

    const QUrl url("tavro-open-test://oauth?nonce=AB-12&patch=eyJ9&name=%E4%BC%9A%E8%AD%B0");
    ASSERT_TRUE(Desktop::openUrl(url));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opened); }, 10000));
    EXPECT_EQ(audiotest::fileText(opened), url.toEncoded().toStdString());

    // Nothing that is not an absolute address is handed over.
    EXPECT_FALSE(Desktop::systemOpen(QUrl("relative/path")));
    EXPECT_FALSE(Desktop::systemOpen(QUrl()));
}
