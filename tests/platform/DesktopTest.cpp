// Opening addresses through the desktop's own handler lookup (xdg-open), with a handler of the
// test's registered in a temporary home.
#include <QDeadlineTimer>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/Desktop.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Desktop, OpensAnAddressWithTheRegisteredHandler) {
    TAVRO_REQUIRE_ENV("display", testsupport::probeDisplay());
    testsupport::ScopedHome home;
    const fs::path dir = home.home();
    const fs::path opened = dir / "opened";
    // The handler records the address it was given, then renames so that a reader never sees a
    // half-written file.
    writeFile(dir / "record.sh",
              "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (dir / "opened.tmp").string() + "\" && mv \"" +
                  (dir / "opened.tmp").string() + "\" \"" + opened.string() + "\"\n");
    fs::permissions(dir / "record.sh", fs::perms::owner_all);
    writeFile(
        dir / ".local/share/applications/tavro-open-test.desktop",
        "[Desktop Entry]\nType=Application\nName=Open test\nExec=" + (dir / "record.sh").string() +
            " %u\nMimeType=x-scheme-handler/tavro-open-test;\nNoDisplay=true\n");
    writeFile(dir / ".config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/tavro-open-test=tavro-open-test.desktop\n");

    const QUrl url("tavro-open-test://oauth?nonce=AB-12&patch=eyJ9&name=%E4%BC%9A%E8%AD%B0");
    ASSERT_TRUE(Desktop::openUrl(url));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opened); }, 10000));
    EXPECT_EQ(readFile(opened), url.toEncoded().toStdString());

    // Nothing that is not an absolute address is handed over.
    EXPECT_FALSE(Desktop::systemOpen(QUrl("relative/path")));
    EXPECT_FALSE(Desktop::systemOpen(QUrl()));
}

}  // namespace
