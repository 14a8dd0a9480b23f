// The detail view's menus, exports, status line and agent section over real stores, the fake
// service, the keyring and a file manager on the session bus.
#include <QDBusConnection>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <sys/stat.h>

#include "../Screenshots.h"
#include "../UiFixture.h"
#include "agents/FakeTools.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "library/EffectiveMinutes.h"
#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "service/SecureStore.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/AgentProcessingBanner.h"
#include "ui/main/detail/AgentSection.h"
#include "ui/main/detail/AgentSectionModel.h"
#include "ui/main/detail/AiTaskCard.h"
#include "ui/main/detail/DetailActionButtons.h"
#include "ui/main/detail/DetailActionsModel.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/detail/DetailViewModel.h"
#include "ui/main/detail/ExportName.h"
#include "ui/main/detail/ExportWriter.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

// Stands in for the desktop's file manager and keeps what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

std::string repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

// A file as the file manager is asked to show it.
QString uri(const fs::path& file) {
    return QUrl::fromLocalFile(QString::fromStdString(file.string())).toString(QUrl::FullyEncoded);
}

using uitest::shoot;
using uitest::waitFor;

class DetailActionsTest : public StoresFixture {
protected:
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    WindowServices services{store, library, defaults, dialogs};
    UiContext& ctx = services.ctx;
    FakeFileManager fileManager;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fm");
    std::vector<QUrl> opened;
    std::vector<std::function<void()>> clears;  // the status line's pending 4 s clearings

    static void removeSecrets() {
        for (auto account : {"hubspotToken", "salesforceAccessToken", "zapierSigningSecret"})
            SecureStore::remove(account);
    }
    // The keyring is the session's: other tests may have left these behind.
    void SetUp() override {
        removeSecrets();
        qputenv("TAVRO_REDUCE_MOTION", "1");
        ASSERT_TRUE(
            bus.registerObject(FileManager::kPath, &fileManager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(FileManager::kService));
        Desktop::setOpener([this](const QUrl& url) { return opened.push_back(url), true; });
        defaults.set("authToken", service.issueToken("a@example.jp"));
    }
    void TearDown() override {
        Desktop::setOpener({});
        bus.unregisterService(FileManager::kService);
        QDBusConnection::disconnectFromBus("fm");
        removeSecrets();
        qunsetenv("TAVRO_REDUCE_MOTION");
    }

    // A record whose effective minutes differ from the stored ones by an edited task.
    std::unique_ptr<DetailActionsModel> modelFor(const MinutesRecord& record) {
        auto model = std::make_unique<DetailActionsModel>(ctx, record.id, [record] {
            MinutesResult r = record.result;
            r.todos.push_back({"編集後のタスク", std::nullopt, std::nullopt, std::nullopt, false});
            return r;
        });
        model->setDelay([this](auto, std::function<void()> then) { clears.push_back(then); });
        return model;
    }
    static QString status(const DetailActionsModel& m) { return m.shareStatus().value_or("—"); }
};

TEST(ExportName, StemsFollowTheTitle) {
    const std::string family =
        "👩‍👩‍👧";  // one user-perceived character of five code points
    const struct {
        std::string title, format, name;
    } cases[] = {
        {"a/b:c", "docx", "a_b_c.docx"},
        {"   ", "pdf", "議事録.pdf"},
        {"", "md", "議事録.md"},
        {"週次\r\n定例", "md", "週次__定例.md"},
        {" \t 予算 ", "pdf", "_ 予算.pdf"},  // the tab is replaced before the trim
        {repeat("あ", 100), "md", repeat("あ", 80) + ".md"},
        // 75 emoji are 300 bytes: cut at a character to fit 255 bytes; controls are dropped.
        {repeat("😀", 75), "docx", repeat("😀", 62) + ".docx"},
        {repeat("😀", 75), "md", repeat("😀", 63) + ".md"},
        {std::string("定例") + '\0' + "会議\x1b[31m\u0085", "pdf", "定例会議[31m.pdf"},
    };
    testsupport::TempDir dir;  // each name is one the file system takes as it is
    ::umask(027);              // and an export follows the user's umask
    for (const auto& c : cases) {
        const std::string name = exportname::proposedName(c.title, c.format);
        EXPECT_EQ(name, c.name) << c.title;
        EXPECT_EQ(exportwriter::write((dir / name).string(), "x"), "") << name;
        EXPECT_EQ(fs::status(dir / name).permissions(), fs::perms(0640)) << name;
    }
    EXPECT_EQ(exportname::stem(repeat(family, 81)), repeat(family, 14)) << "255 bytes, whole";
}

TEST_F(DetailActionsTest, EnablementAndConfigurationFollowSettingsAndKeyring) {
    const auto& record = addRecord("定例");
    auto model = modelFor(record);
    auto titles = [&] {
        std::vector<std::string> out;
        for (const auto& e : model->shareEntries())
            out.push_back(e.title() + (e.configured ? "" : "!"));
        return out;
    };
    EXPECT_EQ(titles(),
              (std::vector<std::string>{"Notion (未設定)!", "Slack (未設定)!", "Discord (未設定)!",
                                        "HubSpot Note (未設定)!", "Salesforce Task (未設定)!",
                                        "Zapier (未設定)!"}));
    auto config = shareConfiguration(defaults, SecureStore::read);
    EXPECT_EQ(config.size(), 14u);
    for (const auto& [key, value] : config)
        EXPECT_EQ(value, key == "hubspotObjectType"         ? "contact"
                         : key == "zapierIncludeTranscript" ? "false"
                                                            : "")
            << key;

    // Each step adds one setting or secret; only complete pairs enable their entry.
    const struct {
        std::function<void()> set;
        std::size_t entry;
        std::string title;
    } steps[] = {
        {[&] { defaults.set("notionToken", "secret_n"); }, 0, "Notion (未設定)!"},
        {[&] { defaults.set("notionParentId", "p1"); }, 0, "Notionへ送信"},
        {[&] { SecureStore::write("hub-token", "hubspotToken"); }, 3, "HubSpot Note (未設定)!"},
        {[&] { defaults.set("hubspotObjectId", "42"); }, 3, "HubSpot Noteへ送信"},
        {[&] { defaults.set("salesforceInstanceUrl", "https://sf"); }, 4,
         "Salesforce Task (未設定)!"},
        {[&] { SecureStore::write("sf-token", "salesforceAccessToken"); }, 4,
         "Salesforce Taskへ送信"},
        {[&] { SecureStore::write("zap", "zapierSigningSecret"); }, 5, "Zapier (未設定)!"},
        {[&] { defaults.set("zapierWebhook", "https://z"); }, 5, "Zapierへ送信"},
    };
    for (const auto& step : steps) {
        step.set();
        EXPECT_EQ(titles()[step.entry], step.title);
    }
    defaults.set("zapierIncludeTranscript", true);
    config = shareConfiguration(defaults, SecureStore::read);
    EXPECT_EQ(config["hubspotToken"], "hub-token");
    EXPECT_EQ(config["zapierIncludeTranscript"], "true");

    // The menu as the user meets it, built afresh from the settings when it opens.
    DetailActionButtons buttons(ctx, *model);
    buttons.show();
    buttons.shareMenu()->popup(buttons.mapToGlobal(QPoint(0, buttons.height())));
    ASSERT_TRUE(waitFor([&] { return buttons.shareMenu()->isVisible(); }));
    const auto actions = buttons.shareMenu()->actions();
    EXPECT_EQ(actions[2]->text().toStdString(), "Notionへ送信");
    EXPECT_TRUE(actions[2]->isEnabled());
    EXPECT_EQ(actions[3]->text().toStdString(), "Slack (未設定)");
    EXPECT_FALSE(actions[3]->isEnabled());
    shoot(*buttons.shareMenu(), QStringLiteral("detail-share-menu"));
    buttons.shareMenu()->hide();
}

// In the main window: the record's own menus, its status line and its task edits.
TEST_F(DetailActionsTest, AWordExportIsWrittenFromTheServiceAndShown) {
    defaults.set(MainViewModel::kOnboardingKey, true);
    MinutesResult minutes;
    minutes.title = "a/b:c";
    minutes.todos = {{"元のタスク", std::nullopt, std::nullopt, std::nullopt, std::nullopt}};
    store.add(minutes, "minutes", "a.m4a");
    QCoreApplication::processEvents();
    const std::string id = store.records().front().id;
    LibraryTaskOverride edit;
    edit.title = "編集後のタスク";
    library.setTaskOverride(edit, EffectiveMinutes::taskID(minutes.todos[0]), id);
    MainView view(ctx);
    view.show();
    view.model().setSelectedID(id);
    auto* detail = view.findChild<DetailView*>();
    ASSERT_TRUE(detail);
    auto* model = detail->findChild<DetailActionsModel*>();
    ASSERT_TRUE(model);
    model->setDelay([this](auto, std::function<void()> then) { clears.push_back(then); });
    const fs::path target = home.home() / "out.docx";
    dialogs.saveAnswer = target.string();

    model->exportFile("docx", "Word");
    ASSERT_EQ(dialogs.savePanels.size(), 1u);
    EXPECT_TRUE(dialogs.savePanels[0].title.endsWith(QStringLiteral("/a_b_c.docx")));
    EXPECT_EQ(dialogs.savePanels[0].message, QStringLiteral("Wordファイルとして書き出し"));
    EXPECT_EQ(detail->statusLabel()->text(), QStringLiteral("Wordを生成中…"));
    shoot(view, QStringLiteral("detail-status-generating"));

    ASSERT_TRUE(waitFor([&] { return status(*model) != QStringLiteral("Wordを生成中…"); }));
    EXPECT_EQ(detail->statusLabel()->text(), QStringLiteral("Wordを書き出しました ✓"));
    EXPECT_EQ(*atomicfile::read(target),
              std::string("PK\x03\x04\x14\0\0\0\x08\0fake word document", 28));
    const auto sent = service.requests("POST", "/api/export");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].body.find("編集後のタスク"), std::string::npos) << "the effective minutes";
    ASSERT_TRUE(waitFor([&] { return !fileManager.shown.empty(); }));
    EXPECT_EQ(fileManager.shown, QStringList{uri(target)});

    ASSERT_EQ(clears.size(), 1u);
    clears[0]();
    EXPECT_FALSE(detail->viewModel().shareStatus());
}

TEST_F(DetailActionsTest, AMarkdownWriteThatFailsShowsItsErrorAndRevealsNothing) {
    const auto& record = addRecord("議事録A");
    auto model = modelFor(record);
    // A folder that is not there, named in the user's words.
    dialogs.saveAnswer = (home.home() / "nowhere/議事録A.md").string();

    model->exportFile("md", "Markdown");
    EXPECT_EQ(status(*model),
              QStringLiteral("Markdown書き出しエラー: 「議事録A.md」に書き込めません"
                             "でした (保存先のフォルダが見つかりません)"));

    // Written: no status, the file holds the effective minutes and is shown.
    clears.front()();
    dialogs.saveAnswer = (home.home() / "議事録A.md").string();
    model->exportFile("md", "Markdown");
    EXPECT_FALSE(model->shareStatus());
    EXPECT_NE(atomicfile::read(home.home() / "議事録A.md")->find("編集後のタスク"),
              std::string::npos);
    // Calls on the bus arrive in order: a reveal of the failed file would come first.
    ASSERT_TRUE(waitFor([&] { return !fileManager.shown.empty(); }));
    EXPECT_EQ(fileManager.shown, QStringList{uri(home.home() / "議事録A.md")});
    EXPECT_TRUE(opened.empty());
}

// Panels start in the last export's folder, else Documents, else home; a name without the
// format's extension gets it, and only the name written is asked about.
TEST_F(DetailActionsTest, SavePanelsStartInTheLastExportFolderAndAskBeforeReplacing) {
    auto model = modelFor(addRecord("議事録A"));
    const fs::path out = home.home() / "out";
    const auto proposed = [&] { return fs::path(dialogs.savePanels.back().title.toStdString()); };
    fs::create_directories(out);
    ASSERT_EQ(atomicfile::write(out / "x.pdf.md", "old"), "");
    dialogs.saveAnswer = (out / "x.pdf").string();
    dialogs.answer = false;
    dialogs.onConfirm = [&] { dialogs.saveAnswer = (out / "X.MD").string(); };
    model->exportFile("md", "Markdown");
    EXPECT_EQ(dialogs.savePanels.at(0).title.toStdString(), (home.home() / "議事録A.md").string());
    EXPECT_EQ(dialogs.asked.at(0).title,
              QStringLiteral("「x.pdf.md」はすでに存在します。置き換えますか？"));
    EXPECT_EQ(proposed(), out / "x.pdf.md") << "declined: the panel again";
    EXPECT_EQ(*atomicfile::read(out / "x.pdf.md"), "old");
    EXPECT_TRUE(fs::exists(out / "X.MD"));
    dialogs.saveAnswer.reset();
    model->exportFile("md", "Markdown");
    EXPECT_EQ(proposed(), out / "議事録A.md");
    fs::remove_all(out);
    fs::create_directories(home.home() / "Documents");
    model->exportFile("md", "Markdown");
    EXPECT_EQ(proposed(), home.home() / "Documents/議事録A.md");
}

TEST_F(DetailActionsTest, WithoutAFileManagerOnTheBusTheFolderOpens) {
    bus.unregisterService(FileManager::kService);
    FileManager::showItem((home.home() / "議事録.md").string());
    ASSERT_TRUE(waitFor([&] { return !opened.empty(); }));
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(home.home().string())));
}

TEST_F(DetailActionsTest, AStatusIsClearedOnlyByTheRequestThatWroteIt) {
    const auto& record = addRecord("共有テスト");
    auto model = modelFor(record);
    defaults.set("slackWebhook", "https://hooks.example/s");
    model->share("slack", "Slack");
    EXPECT_EQ(status(*model), QStringLiteral("Slackへ送信中…"));
    ASSERT_TRUE(waitFor([&] { return !clears.empty(); }));
    EXPECT_EQ(status(*model), QStringLiteral("Slackへ送信しました ✓"));
    const auto body = service.requests("POST", "/api/share").at(0).body;
    EXPECT_NE(body.find("編集後のタスク"), std::string::npos);
    EXPECT_NE(body.find("\"hubspotObjectType\":\"contact\""), std::string::npos);

    model->share("discord", "Discord");
    clears[0]();  // the first request's 4 s end while the second one runs
    EXPECT_EQ(status(*model), QStringLiteral("Discordへ送信中…"));
    ASSERT_TRUE(waitFor([&] { return clears.size() == 2; }));
    clears[1]();
    EXPECT_FALSE(model->shareStatus());
}

// The agent's run from the start button to done and to failed, with a stand-in tool that waits
// for a "go" file before it ends.
TEST_F(DetailActionsTest, TheAgentSectionFollowsTheRun) {
    fakes::writeScript(home.home() / ".local/bin/claude",
                       "cat > /dev/null\nn=0\n"
                       // Bounded, so that a failed test leaves no tool behind.
                       "while [ ! -e \"$HOME/go\" ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); "
                       "done\n"
                       "if [ -e \"$HOME/fail\" ]; then exit 3; fi\necho done > REPORT.md\n");
    fakes::writeFile(home.home() / ".profile", "PATH=\"$HOME/.local/bin:$PATH\"\n");
    MinutesResult minutes;
    minutes.title = "AI会議";
    minutes.todos = {{"資料を集める", "田中", "5/10", std::nullopt, true},
                     {"議事録を清書する", "", "", std::nullopt, true}};
    store.add(minutes, "minutes", "a.m4a");
    QCoreApplication::processEvents();
    const MinutesRecord record = store.records().front();
    auto actions = modelFor(record);
    AgentSectionModel model(services.engine, defaults, record.id, [&] { actions->requestAgent(); });
    AgentSection section(model, minutes.todos);
    section.resize(640, section.sizeHint().height() + 40);
    section.show();
    ASSERT_EQ(section.cards().size(), 2u);
    EXPECT_EQ(section.cards()[0]->metaText(), QStringLiteral("担当: 田中  ・  期限: 5/10"));
    EXPECT_EQ(section.cards()[1]->metaText(), QString());
    ASSERT_TRUE(section.button(QStringLiteral("AIに今すぐ実行させる")));
    shoot(section, QStringLiteral("detail-agent-start"));

    auto runFolders = [&] {
        std::size_t n = 0;
        for (auto& e : fs::directory_iterator(store.agentDir())) n += e.is_directory();
        return n;
    };
    section.button(QStringLiteral("AIに今すぐ実行させる"))->click();
    ASSERT_EQ(model.block(), AgentSectionModel::Block::running);
    EXPECT_FALSE(actions->canRequestAgent());
    actions->requestAgent();  // a second request while the first run goes on starts nothing
    EXPECT_EQ(runFolders(), 1u);
    QCoreApplication::processEvents();
    auto* banner = qobject_cast<AgentProcessingBanner*>(section.stateBlock());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(section.cards()[0]->isRunning());
    EXPECT_EQ(banner->detail(), QStringLiteral("Claude CodeがPCで完結するタスクを実行しています"));
    defaults.set("agentCmd", "codex");
    EXPECT_EQ(model.engineName(), QStringLiteral("Codex"));
    for (const char* dots : {"AIが作業を処理中・", "AIが作業を処理中・・", "AIが作業を処理中・・・",
                             "AIが作業を処理中"}) {
        banner->tick();
        EXPECT_EQ(banner->title(), QString::fromUtf8(dots));
    }
    shoot(section, QStringLiteral("detail-agent-running"));

    fakes::writeFile(home.home() / "go", "");
    ASSERT_TRUE(waitFor([&] { return model.block() == AgentSectionModel::Block::done; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(section.cards()[0]->isRunning());
    EXPECT_TRUE(actions->canRequestAgent());
    section.button(AgentSectionModel::kOpenReport)->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), model.run()->reportPath);
    shoot(section, QStringLiteral("detail-agent-done"));

    // The retry's run fails: the error card with the run's message and a retry.
    fs::remove(home.home() / "go");
    fakes::writeFile(home.home() / "fail", "");
    defaults.remove("agentCmd");
    section.button(AgentSectionModel::kRerun)->click();
    EXPECT_EQ(model.block(), AgentSectionModel::Block::running);
    fakes::writeFile(home.home() / "go", "");
    ASSERT_TRUE(waitFor([&] { return model.block() == AgentSectionModel::Block::failed; }));
    QCoreApplication::processEvents();
    ASSERT_TRUE(section.button(AgentSectionModel::kRetry));
    shoot(section, QStringLiteral("detail-agent-failed"));
}

}  // namespace

#include "DetailActionsTest.moc"
namespace {

// The window's wiring: the agent section in the action tab, and "削除…" asks before deleting.
TEST_F(DetailActionsTest, TheWindowJoinsTheAgentSectionAndTheDelete) {
    defaults.set(MainViewModel::kOnboardingKey, true);
    MinutesResult minutes;
    minutes.title = "AI会議";
    minutes.todos = {{"見積もりを取る", "田中", "5/10", std::nullopt, std::nullopt},
                     {"資料を集める", "田中", "5/10", std::nullopt, true}};
    store.add(minutes, "minutes", "a.m4a");
    QCoreApplication::processEvents();
    MainView view(ctx);
    view.show();
    view.model().setSelectedID(store.records().front().id);
    auto* detail = view.findChild<DetailView*>();
    detail->viewModel().setTab(1);
    QCoreApplication::processEvents();
    auto* section = detail->findChild<AgentSection*>();
    ASSERT_TRUE(section);
    ASSERT_EQ(section->cards().size(), 1u);
    EXPECT_TRUE(section->button(QStringLiteral("AIに今すぐ実行させる")));

    auto* buttons = detail->findChild<DetailActionButtons*>();
    buttons->actionsMenu()->actions().back()->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(store.records().empty());
}

}  // namespace
