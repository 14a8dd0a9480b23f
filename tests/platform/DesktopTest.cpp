// Opening addresses through the desktop's default applications, with handlers of the test's
// registered in a temporary home, and what is said where one cannot be opened.
#include <QDir>
#include <QTest>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/Desktop.h"
#include "support/AudioFixtures.h"
#include "support/TempDir.h"
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
    const auto handler = [&](const std::string& scheme, const std::string& program) {
        write(".local/share/applications/" + scheme + ".desktop",
              "[Desktop Entry]\nType=Application\nName=Open test\nExec=" + program +
                  " %u\nMimeType=x-scheme-handler/" + scheme + ";\nNoDisplay=true\n");
    };
    handler("tavro-open-test", (dir / "record.sh").string());
    handler("tavro-gone-test", (dir / "uninstalled").string());
    write(".config/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/tavro-open-test=tavro-open-test.desktop\n"
          "x-scheme-handler/tavro-gone-test=tavro-gone-test.desktop\n");

    const struct {
        const char* what;
        QUrl url;
        bool handed;
    } cases[] = {
        {"a handler",
         QUrl("tavro-open-test://oauth?nonce=AB-12&patch=eyJ9&name=%E4%BC%9A%E8%AD%B0"), true},
        {"a handler whose program is gone", QUrl("tavro-gone-test://x"), false},
        {"no handler at all", QUrl("tavro-nothing-test://x"), false},
        {"not an absolute address", QUrl("relative/path"), false},
        {"nothing", QUrl(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Desktop::openUrl(c.url), c.handed);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(opened); }, 10000));
    EXPECT_EQ(audiotest::fileText(opened), cases[0].url.toEncoded().toStdString());
}

TEST(Desktop, WhatCouldNotBeOpenedIsNamed) {
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    const QString file = QDir(folder).filePath(QStringLiteral("REPORT.md"));
    std::ofstream(file.toStdString()) << "#";
    const QString browser =
        QStringLiteral("ブラウザを開けませんでした。既定のブラウザを確認してください。");
    const std::pair<QUrl, QString> cases[] = {
        {QUrl("https://example.com/download/TAVRO.dmg"), browser},
        {QUrl("HTTP://example.com/"), browser},
        {QUrl::fromLocalFile(folder), QStringLiteral("フォルダを開けませんでした: ") + folder},
        {QUrl::fromLocalFile(file), QStringLiteral("ファイルを開けませんでした: ") + file},
        {QUrl("tavro://oauth"), QStringLiteral("リンクを開けませんでした。")},
    };
    for (const auto& [url, text] : cases)
        EXPECT_EQ(Desktop::cannotOpenText(url), text) << url.toString().toStdString();
    EXPECT_EQ(Desktop::noBrowserText(), browser);
}
