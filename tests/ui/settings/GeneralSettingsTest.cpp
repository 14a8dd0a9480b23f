// The general and privacy tabs: template import through the fake service, hotkey, autostart
// entry, stealth where it cannot work, and the tabs as widgets with screenshots.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLayout>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "SettingsFixture.h"
#include "library/CustomTemplateStore.h"
#include "ui/settings/GeneralSettings.h"
#include "ui/settings/GeneralSettingsModel.h"
#include "ui/settings/PrivacySettings.h"
#include "ui/settings/PrivacySettingsModel.h"
#include "ui/settings/SettingsView.h"
#include "util/AtomicFile.h"

namespace {

namespace fs = std::filesystem;

class GeneralSettingsTest : public settingstest::SettingsFixture {
protected:
    fs::path autostart = home.home() / "config" / "autostart" / "tavro.desktop";

    std::unique_ptr<GeneralSettingsModel> model(fs::path entry = {}) {
        return std::make_unique<GeneralSettingsModel>(
            defaults, dialogs, LoginItem(entry.empty() ? autostart : entry, "/opt/TAVRO app/tavro"),
            home.home() / "data", nullptr, TAVRO_DOCUMENT_TEXT_PROGRAM);
    }

    // Imports `name` holding `bytes` and waits for the end.
    void import(GeneralSettingsModel& m, const std::string& name, const std::string& bytes) {
        const fs::path file = home.home() / name;
        atomicfile::write(file, bytes);
        dialogs.documentFile = file.string();
        m.importTemplateFile();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m.importing(); }, 30000));
    }

    void storeTemplates(int n) {
        std::vector<CustomTemplate> list;
        for (int i = 0; i < n; ++i)
            list.push_back({"custom-" + std::to_string(i), "T" + std::to_string(i), "d", "i"});
        ASSERT_TRUE(CustomTemplateStore::save(list, defaults));
    }
};

TEST_F(GeneralSettingsTest, AnImportedTemplateBecomesTheDefault) {
    storeTemplates(1);
    auto m = model();
    import(*m, "週次定例.md", "# 週次定例\n\n## 決定事項\n- 予算を承認");
    ASSERT_EQ(m->customTemplates().size(), 2u);
    const CustomTemplate added = m->customTemplates().back();
    EXPECT_EQ(added.label, "週次定例 形式");
    EXPECT_EQ(CustomTemplateStore::load(defaults), m->customTemplates());
    EXPECT_EQ(m->templateId(), added.id);
    EXPECT_EQ(m->templateOptions().back().label, "週次定例 形式 (カスタム)");
    EXPECT_EQ(m->message(),
              "テンプレート「週次定例 形式」を追加しました。今後この構成で出力されます");
    const auto sent = service.requests("POST", "/api/template-import");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].json()["fileName"], "週次定例.md");
    EXPECT_EQ(sent[0].json()["text"], "# 週次定例\n\n## 決定事項\n- 予算を承認");

    // The line goes with the template it announces, and with no other.
    QSignalSpy shown(m.get(), &GeneralSettingsModel::importChanged);
    m->deleteTemplate("custom-0");
    EXPECT_TRUE(m->message().has_value());
    m->deleteTemplate(added.id);
    EXPECT_EQ(m->message(), std::nullopt);
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(GeneralSettingsTest, AFailedImportStoresNothing) {
    struct Case {
        const char* name;
        std::string bytes;
        int stored;  // templates already there
        QString message;
        bool sent;
    };
    const Case cases[] = {
        {"blank.txt", " \n\t\u3000\n", 0, GeneralSettingsModel::kNoText, false},
        {"bad.txt", "\xFF\xFE", 0,
         QStringLiteral("ファイル「bad.txt」はUTF-8のテキストではありません"), false},
        {"refused.md", "# 議事録", 0, QStringLiteral("解析できませんでした"), true},
        {"full.md", "# 議事録", 20, GeneralSettingsModel::kLimitReached, false},
    };
    service.script("POST", "/api/template-import",
                   FakeService::Reply::withJson(422, {{"error", "解析できませんでした"}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        storeTemplates(c.stored);
        defaults.set("templateId", "sales");
        service.clearRequests();
        dialogs.filePanels = 0;
        auto m = model();
        import(*m, c.name, c.bytes);
        EXPECT_EQ(m->message(), c.message);
        EXPECT_EQ(service.requests("POST", "/api/template-import").size(), c.sent ? 1u : 0u);
        EXPECT_EQ(CustomTemplateStore::load(defaults).size(), std::size_t(c.stored));
        EXPECT_EQ(m->templateId(), "sales");
        EXPECT_EQ(dialogs.filePanels, c.stored == 20 ? 0 : 1);
    }
}

TEST_F(GeneralSettingsTest, DeletingTheDefaultFallsBackToMinutes) {
    for (const char* deleted : {"custom-1", "custom-0"}) {
        SCOPED_TRACE(deleted);
        storeTemplates(2);
        defaults.set("templateId", "custom-1");
        auto m = model();
        m->deleteTemplate(deleted);
        EXPECT_EQ(m->customTemplates().size(), 1u);
        EXPECT_EQ(CustomTemplateStore::load(defaults), m->customTemplates());
        EXPECT_EQ(m->templateId(), std::string(deleted) == "custom-1" ? "minutes" : "custom-1");
    }
}

TEST_F(GeneralSettingsTest, HotkeyInterval) {
    auto m = model();
    EXPECT_EQ(m->intervalCaption(),
              "0.45秒以内の2回押しで反応(どのアプリの使用中でも)");  // the test's X11 session
    for (const auto& [step, seconds] : {std::pair{0, 0.25}, {1, 0.3}, {11, 0.8}}) {
        m->setIntervalStep(step);
        EXPECT_EQ(defaults.doubleValue("hotkeyInterval"), seconds) << step;
    }
    EXPECT_TRUE(m->intervalCaption().startsWith("0.80秒以内"));
}

TEST_F(GeneralSettingsTest, LaunchAtLoginWritesTheAutostartEntry) {
    auto m = model();
    EXPECT_FALSE(m->launchAtLogin());
    m->setLaunchAtLogin(true);
    EXPECT_TRUE(m->launchAtLogin());
    const std::string entry = atomicfile::read(autostart).value_or("");
    EXPECT_NE(entry.find("\nExec=\"/opt/TAVRO app/tavro\" -- %u\n"), std::string::npos);
    QProcess validate;
    validate.start("desktop-file-validate", {QString::fromStdString(autostart.string())});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    EXPECT_TRUE(model()->launchAtLogin()) << "a new tab reads the entry";
    m->setLaunchAtLogin(false);
    EXPECT_FALSE(fs::exists(autostart));

    // A folder that cannot be made: the toggle snaps back.
    atomicfile::write(home.home() / "blocked", "a file, not a folder");
    auto failing = model(home.home() / "blocked" / "autostart" / "tavro.desktop");
    failing->setLaunchAtLogin(true);
    EXPECT_FALSE(failing->launchAtLogin());
}

TEST(LoginItem, ExecQuotesThePath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/a b/tavro", R"("/opt/a b/tavro" -- %u)"},
        {R"(/x/"q"/$HOME/`c`/100%/back\slash)",
         R"("/x/\\"q\\"/\\$HOME/\\`c\\`/100%%/back\\\\slash" -- %u)"},
    };
    for (const auto& [path, exec] : cases) EXPECT_EQ(LoginItem::execValue(path), exec) << path;
}

TEST_F(StoresFixture, StealthIsOnlyOfferedWhereItWorks) {
    for (const bool supported : {false, true}) {
        SCOPED_TRACE(supported);
        defaults.remove("stealthMode");
        int applied = 0;
        PrivacySettingsModel model(defaults, supported, false, [&] { ++applied; });
        EXPECT_TRUE(model.stealthMode());
        EXPECT_EQ(model.stealthShown(), supported);
        EXPECT_EQ(model.stealthEditable(), supported);
        EXPECT_EQ(model.stealthCaption().contains("除外できません"), !supported);
        model.setStealthMode(false);
        EXPECT_EQ(defaults.contains("stealthMode"), supported);
        EXPECT_EQ(applied, supported ? 1 : 0);
        EXPECT_TRUE(model.trayCaption().contains("システムトレイがない"));
    }
}

TEST_F(StoresFixture, TrayCaptionPlacesTheTrayOnNoEdge) {
    // The tray may sit on any edge of the screen, so the caption names none.
    for (const bool tray : {false, true}) {
        SCOPED_TRACE(tray);
        const PrivacySettingsModel model(defaults, false, tray, {});
        const QString caption = model.trayCaption();
        EXPECT_TRUE(caption.contains("トレイアイコンによる録音の露出を防ぎます"))
            << caption.toStdString();
        for (const char* edge : {"上部", "下部", "上端", "下端", "右上", "左上", "右下", "左下"})
            EXPECT_FALSE(caption.contains(QString::fromUtf8(edge))) << edge;
    }
}

TEST_F(GeneralSettingsTest, DividersOfTheFormTabsHaveMoreRoom) {
    SettingsView view(ctx);
    // tab, the space above and below each of its dividers
    const std::pair<int, int> cases[] = {{0, 4}, {1, 4}, {2, 4}, {3, 6}, {4, 6}};
    for (const auto& [index, padding] : cases) {
        SCOPED_TRACE(view.tabs()->tabText(index).toStdString());
        int dividers = 0;
        for (const QFrame* line : view.tabs()->widget(index)->findChildren<QFrame*>()) {
            if (line->frameShape() != QFrame::HLine) continue;
            ++dividers;
            const QMargins around = line->parentWidget()->layout()->contentsMargins();
            EXPECT_EQ(around.top(), padding);
            EXPECT_EQ(around.bottom(), padding);
        }
        EXPECT_GT(dividers, 0);
    }
}

TEST_F(GeneralSettingsTest, GeneralAndPrivacyTabs) {
    CustomTemplateStore::save({{"custom-1", "Q&A <b>定例</b>", "R&D &lt;部&gt;を重視", "i"},
                               {"custom-2", "開発レビュー", "課題と担当者の一覧", "i"}},
                              defaults);
    defaults.set("templateId", "custom-2");
    SettingsView view(ctx);
    view.show();
    auto* tab = qobject_cast<GeneralSettings*>(view.tabs()->widget(0));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->templatePicker()->currentText(), "開発レビュー (カスタム)");
    // A user's names read as written: no shortcut marker, no markup.
    const QLabel* row =
        settingstest::labelShowing(tab, QStringLiteral("Q&A <b>定例</b> — R&D &lt;部&gt;を重視"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->textFormat(), Qt::PlainText);
    settingstest::shoot(view, QStringLiteral("settings-general"));

    // A deleted default goes back to "議事録" in the picker too.
    ASSERT_EQ(tab->deleteButtons().size(), 2);
    tab->deleteButtons()[1]->click();
    EXPECT_EQ(tab->templatePicker()->currentText(), "議事録");
    EXPECT_EQ(tab->deleteButtons().size(), 1);

    // This desktop cannot withhold windows from capture: the switch says so and stays put.
    view.tabs()->setCurrentIndex(2);
    auto* privacy = qobject_cast<PrivacySettings*>(view.tabs()->widget(2));
    ASSERT_NE(privacy, nullptr);
    EXPECT_FALSE(privacy->stealthToggle()->isEnabled());
    EXPECT_FALSE(privacy->stealthToggle()->isChecked()) << "not on where it cannot be";
    EXPECT_TRUE(privacy->stealthCaption()->text().contains("除外できません"));
    settingstest::shoot(view, QStringLiteral("settings-privacy"));
    privacy->trayToggle()->click();
    EXPECT_EQ(defaults.boolValue("hideMenuBarIcon"), true);
}

}  // namespace
