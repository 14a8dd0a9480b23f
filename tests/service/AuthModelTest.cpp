// The account model against the fake service, with a settings store of its own.
#include <QCoreApplication>
#include <QTest>
#include <QThreadPool>

#include <optional>
#include <string>

#include "ServiceFixture.h"
#include "service/AuthModel.h"
#include "service/TavroAPI.h"
#include "support/TempDir.h"

namespace {

using Reply = FakeService::Reply;
using State = AuthModel::State;
using LoggedIn = AuthModel::LoggedIn;
using LoggedOut = AuthModel::LoggedOut;
using CodeSent = AuthModel::CodeSent;

struct StoredLogin {
    std::optional<std::string> token, email, plan;
};

class AuthModelTest : public ServiceFixture {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};

    void store(const StoredLogin& login) {
        if (login.token) defaults.set("authToken", *login.token);
        if (login.email) defaults.set("authEmail", *login.email);
        if (login.plan) defaults.set("authPlan", *login.plan);
    }
    StoredLogin stored() const {
        return {defaults.stringValue("authToken"), defaults.stringValue("authEmail"),
                defaults.stringValue("authPlan")};
    }

    // Lets every service call finish and hands its outcome to the model.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone(20000);
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    // Runs the event loop until `done` holds, at most a few seconds.
    template <typename Pred>
    static bool waitUntil(Pred done) {
        return QTest::qWaitFor(done, 5000);
    }
};

std::string describe(const State& s) {
    if (auto* in = std::get_if<LoggedIn>(&s))
        return "loggedIn(" + in->email + ", " + in->plan + ")";
    if (auto* sent = std::get_if<CodeSent>(&s)) return "codeSent(" + sent->challenge + ")";
    return "loggedOut";
}

TEST_F(AuthModelTest, LaunchRestoresTheStoredLoginAndRefreshesIt) {
    const std::string valid = fake.issueToken("svc@example.jp", "pro");
    struct Case {
        const char* name;
        StoredLogin login;
        State atLaunch;
        State afterRefresh;
        bool refreshed;
    } cases[] = {
        {"nothing stored", {}, LoggedOut{}, LoggedOut{}, false},
        // The token stays for the parts that send it themselves.
        {"token without address", {valid, {}, {}}, LoggedOut{}, LoggedOut{}, false},
        {"address without token", {{}, "a@x.jp", "pro"}, LoggedOut{}, LoggedOut{}, false},
        {"no plan stored",
         {valid, "old@x.jp", {}},
         LoggedIn{"old@x.jp", "free"},
         LoggedIn{"svc@example.jp", "pro"},
         true},
        {"plan stored",
         {valid, "old@x.jp", "team"},
         LoggedIn{"old@x.jp", "team"},
         LoggedIn{"svc@example.jp", "pro"},
         true},
        // An empty token counts as stored; the service refuses it.
        {"empty token", {"", "a@x.jp", {}}, LoggedIn{"a@x.jp", "free"}, LoggedOut{}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* key : {"authToken", "authEmail", "authPlan"}) defaults.remove(key);
        store(c.login);
        fake.clearRequests();

        AuthModel model(defaults);
        EXPECT_EQ(describe(model.state()), describe(c.atLaunch));
        settle();
        EXPECT_EQ(describe(model.state()), describe(c.afterRefresh));
        EXPECT_EQ(fake.requests("GET", "/api/me").size(), c.refreshed ? 1u : 0u);
        if (std::holds_alternative<LoggedIn>(c.afterRefresh) && c.refreshed) {
            // The plan is kept; the address stays the one of the last login.
            EXPECT_EQ(stored().plan, "pro");
            EXPECT_EQ(stored().email, "old@x.jp");
        }
        if (!c.refreshed) {
            EXPECT_EQ(stored().token, c.login.token);
        }
        EXPECT_FALSE(model.busy());
    }
}

TEST_F(AuthModelTest, RefreshDropsTheLoginOnlyWhenTheServiceRefusesIt) {
    struct Case {
        const char* name;
        std::optional<Reply> reply;  // none: nobody listens
        bool loggedOut;
    } cases[] = {
        {"401", Reply::withJson(401, {{"error", "unauthorized"}}), true},
        {"403", Reply::withJson(403, {{"error", "forbidden"}}), true},
        {"200 without address", Reply::withJson(200, {{"plan", "pro"}}), true},
        {"500", Reply::withJson(500, {{"error", "内部エラー"}}), false},
        {"503 page", Reply::withBody(503, "<html>maintenance</html>", "text/html"), false},
        {"200 page of a captive portal", Reply::withBody(200, "<html>login</html>", "text/html"),
         false},
        {"no network", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StoredLogin login{"tok-stored", "me@x.jp", "pro"};
        store(login);
        std::optional<ScopedServiceUrl> nobody;
        if (c.reply)
            fake.script("GET", "/api/me", *c.reply);
        else
            nobody.emplace("http://127.0.0.1:1");

        AuthModel model(defaults);
        settle();
        if (c.loggedOut) {
            EXPECT_EQ(describe(model.state()), "loggedOut");
            EXPECT_FALSE(stored().token || stored().email || stored().plan);
        } else {
            EXPECT_EQ(describe(model.state()), "loggedIn(me@x.jp, pro)");
            EXPECT_EQ(stored().token, login.token);
            EXPECT_EQ(stored().email, login.email);
            EXPECT_EQ(stored().plan, login.plan);
        }
        EXPECT_EQ(model.error(), std::nullopt);
    }
}

TEST_F(AuthModelTest, ALateRefreshLeavesANewerLoginAlone) {
    // The refresh of the stored login is refused, but only after a new login was made.
    store({"tok-old", "old@x.jp", "pro"});
    Reply refused = Reply::withJson(401, {{"error", "expired"}});
    refused.delay = std::chrono::milliseconds(800);
    fake.script("GET", "/api/me", refused);
    AuthModel model(defaults);
    model.requestCode("new@x.jp");
    ASSERT_TRUE(waitUntil([&] { return std::holds_alternative<CodeSent>(model.state()); }));
    model.verify(FakeService::kLoginCode);
    ASSERT_TRUE(waitUntil([&] { return model.state() == State(LoggedIn{"new@x.jp", "free"}); }));
    settle();
    EXPECT_EQ(describe(model.state()), "loggedIn(new@x.jp, free)");
    EXPECT_EQ(stored().email, "new@x.jp");
    EXPECT_TRUE(stored().token && *stored().token != "tok-old");

    // An answer that arrives after a logout does not log back in.
    fake.clearScripts();
    const std::string valid = fake.issueToken("back@x.jp", "pro");
    store({valid, "back@x.jp", {}});
    fake.script("GET", "/api/me", Reply::late(std::chrono::milliseconds(300)));
    AuthModel second(defaults);
    second.logout();
    settle();
    EXPECT_EQ(describe(second.state()), "loggedOut");
    EXPECT_FALSE(stored().token || stored().plan);
}

TEST_F(AuthModelTest, CodeLogin) {
    AuthModel model(defaults);
    model.requestCode(" Sato@Example.JP ");
    EXPECT_TRUE(model.busy());
    settle();
    EXPECT_FALSE(model.busy());
    ASSERT_TRUE(std::holds_alternative<CodeSent>(model.state()));
    const State sent = model.state();
    EXPECT_EQ(only("POST", "/api/auth/request-code").body, R"({"email":" Sato@Example.JP "})");

    // A wrong code keeps the step, so that another code can be tried.
    model.verify("000000");
    settle();
    EXPECT_EQ(model.error(), "コードが正しくありません");
    EXPECT_EQ(model.state(), sent);
    EXPECT_FALSE(stored().token);

    model.verify(FakeService::kLoginCode);
    EXPECT_EQ(model.error(), std::nullopt);  // cleared as the next attempt starts
    settle();
    EXPECT_EQ(describe(model.state()), "loggedIn( Sato@Example.JP , free)");
    ASSERT_TRUE(stored().token);
    EXPECT_EQ(model.token(), stored().token);
    EXPECT_EQ(stored().email, " Sato@Example.JP ");
    EXPECT_EQ(stored().plan, "free");
    EXPECT_EQ(TavroAPI::me(*stored().token).email, " Sato@Example.JP ");

    model.logout();
    EXPECT_EQ(describe(model.state()), "loggedOut");
    EXPECT_FALSE(stored().token || stored().email || stored().plan);
}

TEST_F(AuthModelTest, VerifyWithoutASentCodeSendsNothing) {
    store({fake.issueToken("me@x.jp"), "me@x.jp", "free"});
    AuthModel loggedIn(defaults);
    settle();
    AuthModel loggedOut(defaults);
    loggedOut.setState(LoggedOut{});
    for (AuthModel* model : {&loggedIn, &loggedOut}) {
        const State before = model->state();
        model->verify(FakeService::kLoginCode);
        EXPECT_FALSE(model->busy());
        settle();
        EXPECT_EQ(model->state(), before);
    }
    EXPECT_TRUE(fake.requests("POST", "/api/auth/verify").empty());
}

TEST_F(AuthModelTest, ACodeRequestLeavesTheStoredLoginUntilVerified) {
    const StoredLogin login{fake.issueToken("me@x.jp", "pro"), "me@x.jp", "pro"};
    store(login);
    AuthModel model(defaults);
    settle();

    fake.script("POST", "/api/auth/request-code",
                Reply::withJson(429, {{"error", "しばらくしてから再度お試しください"}}));
    model.requestCode("other@x.jp");
    settle();
    EXPECT_EQ(model.error(), "しばらくしてから再度お試しください");
    EXPECT_EQ(describe(model.state()), "loggedIn(me@x.jp, pro)");

    fake.clearScripts();
    model.requestCode("other@x.jp");
    settle();
    EXPECT_EQ(model.error(), std::nullopt);
    EXPECT_TRUE(std::holds_alternative<CodeSent>(model.state()));
    EXPECT_EQ(stored().token, login.token);
    EXPECT_EQ(stored().plan, login.plan);

    // Going back from the code step touches nothing stored.
    model.setState(LoggedOut{});
    EXPECT_EQ(stored().token, login.token);
}

}  // namespace
