// The share-access dialog against the fake service and the real keyring.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "DialogFixture.h"
#include "desktop/PanelStyle.h"
#include "library/TestFileSystem.h"
#include "service/SecureStore.h"
#include "support/TestEnv.h"
#include "ui/main/dialogs/ShareAccessModel.h"
#include "ui/main/dialogs/ShareAccessView.h"

using Collaborator = ShareAccessModel::Collaborator;

class ShareAccessTest : public ServiceFixture {
protected:
    TestFileSystem fs;  // saves fail while failWrites is set
    LibraryStore shareLibrary{home.home() / "share", defaults, fs};
    std::string recordID = "rec-1";

    void SetUp() override {
        ServiceFixture::SetUp();
        TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
        // Copies are numbered anew by each fake service; links of earlier tests must not show.
        for (int i = 1; i < 10; ++i)
            SecureStore::remove(ShareAccessModel::publicURLAccount("sm-" + std::to_string(i)));
        logIn();
    }

    // A model over the breakable library, its load finished.
    std::unique_ptr<ShareAccessModel> open() {
        MinutesResult minutes;
        minutes.title = "週次定例";
        auto model = std::make_unique<ShareAccessModel>(shareLibrary, defaults, recordID, minutes);
        model->loadExistingShare();
        EXPECT_TRUE(waitFor([&] { return model->loaded(); }));
        return model;
    }
    bool idle(ShareAccessModel& m) {
        return waitFor([&] { return !m.isSaving(); });
    }
    std::optional<std::string> storedShareID() const {
        const auto refs = shareLibrary.metadata(recordID).remoteReferences;
        const auto it = refs.find(ShareAccessModel::kReferenceKey);
        if (it == refs.end()) return std::nullopt;
        return it->second.remoteID;
    }
    // A created public copy with one member, the dialog then closed.
    std::string createCopy() {
        auto m = open();
        m->setEmail("a@example.com");
        m->addMember();
        m->setPublic(true);
        m->save();
        EXPECT_TRUE(idle(*m));
        std::string id = m->shareID().value_or("");
        return id;
    }
};

TEST_F(ShareAccessTest, MembersAreNormalisedAndListedOnce) {
    auto m = open();
    struct Step {
        std::string typed, role, fieldAfter;
        std::vector<Collaborator> after;
    };
    const Collaborator alice{"alice@example.com", "viewer"}, bob{"bob@example.com", "editor"};
    const std::vector<Step> steps = {
        {"  Alice@Example.COM \n", "viewer", "", {alice}},
        {"bob.example.com", "editor", "bob.example.com", {alice}},
        {"bob@example.com", "editor", "", {alice, bob}},
        {"ALICE@example.com", "editor", "", {bob, {"alice@example.com", "editor"}}},
    };
    for (const Step& s : steps) {
        m->setEmail(s.typed);
        m->setRole(s.role);
        m->addMember();
        EXPECT_EQ(m->collaborators(), s.after) << s.typed;
        EXPECT_EQ(m->email(), s.fieldAfter) << s.typed;
    }
    EXPECT_EQ(ShareAccessModel::roleLabel("owner"), QStringLiteral("閲覧者"));
}

TEST_F(ShareAccessTest, LoadingTheStoredCopy) {
    const std::string id = createCopy();
    ASSERT_FALSE(id.empty());
    SecureStore::remove(ShareAccessModel::publicURLAccount(id));

    struct Case {
        const char* name;
        std::function<void()> arrange;
        int reply;  // the service's status for the copy; 0 answers it
        bool canSave;
        std::optional<std::string> shareID;
        bool red;
    };
    const std::vector<Case> cases = {
        {"success", [] {}, 0, true, id, false},
        {"no token", [&] { defaults.remove("authToken"); }, 0, false, std::nullopt, false},
        {"no reference",
         [&] { shareLibrary.setRemoteReference(std::nullopt, "tavro-share", recordID); }, 0, true,
         std::nullopt, false},
        // Any failure but a missing copy may hide a live copy: no second one over its link.
        {"failure", [] {}, 500, false, std::nullopt, true},
        {"copy gone", [] {}, 404, true, std::nullopt, true},
        // Gone or another account's is said so, and a new one may replace it.
        {"not ours", [] {}, 403, true, std::nullopt, false},
    };
    for (const Case& c : cases) {
        logIn();
        service.clearScripts();
        shareLibrary.setRemoteReference(LibraryRemoteReference{"tavro", id, 1, {}}, "tavro-share",
                                        recordID);
        c.arrange();
        if (c.reply)
            service.script("GET", "/api/shared-minutes/" + id,
                           FakeService::Reply::withJson(c.reply, {{"error", "混雑しています"}}));
        auto m = open();
        EXPECT_EQ(m->canSave(), c.canSave) << c.name;
        EXPECT_EQ(m->shareID(), c.shareID) << c.name;
        EXPECT_EQ(m->statusIsError(), c.red) << c.name;
        EXPECT_TRUE(!c.reply || m->status()) << c.name << ": a failure is said";
        if (c.shareID) {
            EXPECT_EQ(m->collaborators(), (std::vector<Collaborator>{{"a@example.com", "viewer"}}));
            EXPECT_TRUE(m->isPublic());
            EXPECT_EQ(m->publicURL(), std::nullopt) << "no secret, no link row";
            EXPECT_EQ(m->primaryTitle(), QStringLiteral("変更を保存"));
        }
    }
}

// A copy on the service is never left unreachable by a local failure: a create whose save fails
// keeps the copy and its link for the next save; a delete whose clean-up fails still clears the
// form and the link.
TEST_F(ShareAccessTest, CreateUpdateAndDeleteThroughLocalFailures) {
    auto m = open();
    EXPECT_EQ(m->primaryTitle(), QStringLiteral("共有を作成"));
    m->setPublic(true);
    fs.failWrites = true;
    m->save();
    EXPECT_EQ(m->status(), "共有設定を保存中…");
    EXPECT_FALSE(m->canSave());
    ASSERT_TRUE(idle(*m));
    ASSERT_TRUE(m->shareID() && m->publicURL());
    const std::string id = *m->shareID();
    const std::string account = "sharePublicURL:" + id;
    EXPECT_TRUE(m->publicURL()->starts_with(service.baseUrl() + "/shared/pub-"));
    EXPECT_EQ(SecureStore::read(account), *m->publicURL());
    EXPECT_TRUE(m->statusIsError());
    EXPECT_NE(m->status()->find("disk full"), std::string::npos);
    EXPECT_EQ(storedShareID(), std::nullopt);

    // The next save updates the same copy and records it; made private, its link goes.
    fs.failWrites = false;
    m->setPublic(false);
    m->save();
    ASSERT_TRUE(idle(*m));
    EXPECT_EQ(m->status(), "共有設定を更新しました");
    EXPECT_EQ(storedShareID(), id);
    EXPECT_EQ(m->publicURL(), std::nullopt);
    EXPECT_EQ(SecureStore::read(account), "");
    EXPECT_EQ(service.requests("POST", "/api/shared-minutes").size(), 1u);

    m->deleteShare();
    ASSERT_TRUE(idle(*m));
    EXPECT_EQ(m->status(), "共有を削除しました");
    EXPECT_EQ(m->shareID(), std::nullopt);
    EXPECT_TRUE(m->collaborators().empty());
    EXPECT_FALSE(m->isPublic());
    EXPECT_EQ(m->primaryTitle(), QStringLiteral("共有を作成"));
    EXPECT_EQ(storedShareID(), std::nullopt);
    EXPECT_FALSE(service.sharedCopy(id));
    m.reset();

    const std::string other = createCopy();
    m = open();
    ASSERT_TRUE(m->publicURL());
    fs.failWrites = true;
    m->deleteShare();
    ASSERT_TRUE(idle(*m));
    EXPECT_FALSE(service.sharedCopy(other));
    EXPECT_EQ(m->shareID(), std::nullopt);
    EXPECT_EQ(m->publicURL(), std::nullopt);
    EXPECT_EQ(SecureStore::read("sharePublicURL:" + other), "");
    EXPECT_TRUE(m->statusIsError());
}

// A new login loads the record's copy before anything is saved; a create still running for the
// record holds back the next dialog's until its copy can be loaded.
TEST_F(ShareAccessTest, OneCopyPerRecordAcrossLoginsAndDialogs) {
    const std::string id = createCopy();
    defaults.remove("authToken");
    auto m = open();
    logIn();
    EXPECT_FALSE(m->canSave());
    EXPECT_TRUE(waitFor([&] { return m->shareID() == id && m->canSave(); }));
    m.reset();

    // The closed dialog's model finishes the create, records the link, and then goes.
    shareLibrary.setRemoteReference(std::nullopt, "tavro-share", recordID);
    service.script("POST", "/api/shared-minutes",
                   FakeService::Reply::late(std::chrono::seconds(1)));
    auto* view = new ShareAccessView(open().release());
    QPointer<ShareAccessModel> model = &view->model();
    view->publicToggle()->click();
    view->primaryButton()->click();
    delete view;
    m = open();
    EXPECT_EQ(m->shareID(), storedShareID().value_or("none"));
    EXPECT_EQ(service.requests("POST", "/api/shared-minutes").size(), 2u);
    EXPECT_TRUE(SecureStore::read("sharePublicURL:" + m->shareID().value_or(""))
                    .starts_with(service.baseUrl()));
    EXPECT_TRUE(waitFor([&] { return model.isNull(); }));
}

// The status line is red only while it tells of a failure; a later success is grey again.
TEST_F(ShareAccessTest, StatusLineIsRedOnlyWhileItSaysFailed) {
    shareLibrary.setRemoteReference(LibraryRemoteReference{"tavro", "gone", 1, {}}, "tavro-share",
                                    recordID);
    ShareAccessView view(open().release());
    const QColor text = view.palette().color(QPalette::WindowText);
    auto shown = [&] { return view.statusLabel()->palette().color(QPalette::WindowText); };
    struct Step {
        const char* name;
        std::function<void()> act;
        std::string status;
        bool red;
    };
    const std::vector<Step> steps = {
        {"load failed", [] {}, "共有設定の読み込みに失敗: ", true},
        {"created", [&] { view.primaryButton()->click(); }, "共有設定を作成しました", false},
        {"update failed",
         [&] {
             service.script("PATCH", "/api/shared-minutes/" + view.model().shareID().value_or(""),
                            FakeService::Reply::withJson(500, {{"error", "混雑"}}));
             view.primaryButton()->click();
         },
         "作成に失敗: 混雑", true},
        {"updated",
         [&] {
             service.clearScripts();
             view.primaryButton()->click();
         },
         "共有設定を更新しました", false},
    };
    for (const Step& s : steps) {
        s.act();
        ASSERT_TRUE(idle(view.model())) << s.name;
        EXPECT_TRUE(view.statusLabel()->text().startsWith(QString::fromStdString(s.status)))
            << s.name << ": " << view.statusLabel()->text().toStdString();
        EXPECT_EQ(shown().rgb(), s.red ? PanelStyle::red().rgb() : text.rgb()) << s.name;
        EXPECT_EQ(shown().alphaF() < 1, !s.red) << s.name << ": dimmed when not a failure";
        if (s.name == std::string("created")) shoot(view, QStringLiteral("share-access-created"));
    }
}

TEST_F(ShareAccessTest, Screenshot) {
    ShareAccessView view(open().release());
    view.emailField()->setText(QStringLiteral("sato@example.com"));
    emit view.emailField()->textEdited(view.emailField()->text());
    view.addButton()->click();
    view.model().setEmail("<b>tanaka</b>&lt;@example.com");
    view.model().setRole("editor");
    view.addButton()->click();
    view.publicToggle()->click();
    view.primaryButton()->click();
    ASSERT_TRUE(idle(view.model()));
    service.script("PATCH", "/api/shared-minutes/" + view.model().shareID().value_or(""),
                   FakeService::Reply::withJson(500, {{"error", "サーバーが混雑しています"}}));
    view.primaryButton()->click();
    ASSERT_TRUE(idle(view.model()));
    EXPECT_EQ(view.memberCount(), 2);
    EXPECT_TRUE(view.urlLabel()->text().contains(QStringLiteral("/shared/pub-")));
    EXPECT_EQ(view.statusLabel()->text(), QStringLiteral("作成に失敗: サーバーが混雑しています"));
    EXPECT_EQ(view.statusLabel()->textFormat(), Qt::PlainText) << "it quotes the service";
    for (QLabel* label : view.findChildren<QLabel*>())  // the members' addresses as typed
        EXPECT_TRUE(!label->text().contains('@') || label->textFormat() == Qt::PlainText);
    EXPECT_EQ(view.primaryButton()->text(), QStringLiteral("変更を保存"));
    EXPECT_TRUE(view.deleteButton()->isVisibleTo(&view));
    shoot(view, QStringLiteral("share-access"));
}
