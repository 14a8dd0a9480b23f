// The account model against the fake service, with a settings store of its own.
#include <QTest>

#include <optional>
#include <string>

#include "ServiceFixture.h"
#include "service/AuthModel.h"
#include "support/TempDir.h"

namespace {

using Opt = std::optional<std::string>;

class AuthModelTest : public ServiceFixture {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};

    void store(Opt token, Opt email, Opt plan) {
        for (auto [key, value] :
             {std::pair{"authToken", token}, {"authEmail", email}, {"authPlan", plan}}) {
            if (value)
                defaults.set(key, *value);
            else
                defaults.remove(key);
        }
    }
    // "token|email|plan" as stored, "-" for an absent key.
    std::string stored() const {
        std::string out;
        for (const char* key : {"authToken", "authEmail", "authPlan"})
            out += (out.empty() ? "" : "|") + defaults.stringValue(key).value_or("-");
        return out;
    }
};

std::string describe(const AuthModel::State& s) {
    if (auto* in = std::get_if<AuthModel::LoggedIn>(&s)) return in->email + "/" + in->plan;
    if (std::holds_alternative<AuthModel::CodeSent>(s)) return "codeSent";
    return "loggedOut";
}

TEST_F(AuthModelTest, LaunchRestoresTheStoredLoginAndRefreshesIt) {
    const std::string valid = fake.issueToken("svc@x.jp", "pro");
    const struct {
        Opt token, email, plan;
        const char *atLaunch, *afterRefresh, *storedAfter;
    } cases[] = {
        {{}, {}, {}, "loggedOut", "loggedOut", "-|-|-"},
        // No refresh: the token stays for the parts that send it themselves.
        {"t-1", {}, {}, "loggedOut", "loggedOut", "t-1|-|-"},
        {valid, "old@x.jp", "team", "old@x.jp/team", "svc@x.jp/pro", "|old@x.jp|pro"},
        // An empty token counts as stored, and the service refuses it.
        {"", "a@x.jp", {}, "a@x.jp/free", "loggedOut", "-|-|-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token.value_or("-") + " " + c.email.value_or("-"));
        store(c.token, c.email, c.plan);
        fake.clearRequests();
        AuthModel model(defaults);
        EXPECT_EQ(describe(model.state()), c.atLaunch);
        settleServiceCalls();
        EXPECT_EQ(describe(model.state()), c.afterRefresh);
        const std::string expected =
            c.storedAfter[0] == '|' ? valid + c.storedAfter : std::string(c.storedAfter);
        EXPECT_EQ(stored(), expected);
        EXPECT_EQ(fake.requests("GET", "/api/me").size(), c.email && c.token ? 1u : 0u);
    }
}

TEST_F(AuthModelTest, RefreshDropsTheLoginOnlyWhenTheServiceRefusesIt) {
    const struct {
        int status;  // 0: nobody listens
        const char* body;
        bool loggedOut;
    } cases[] = {
        {401, R"({"error":"unauthorized"})", true},
        {403, R"({"error":"forbidden"})", true},
        {200, R"({"plan":"pro"})", true},  // an answer, but not for this login
        {503, "<html>maintenance</html>", false},
        {200, "<html>captive portal</html>", false},
        {0, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        store("tok-stored", "me@x.jp", "pro");
        std::optional<ScopedServiceUrl> nobody;
        if (c.status)
            answer("GET", "/api/me", c.status, c.body);
        else
            nobody.emplace("http://127.0.0.1:1");
        AuthModel model(defaults);
        settleServiceCalls();
        EXPECT_EQ(describe(model.state()), c.loggedOut ? "loggedOut" : "me@x.jp/pro");
        EXPECT_EQ(stored(), c.loggedOut ? "-|-|-" : "tok-stored|me@x.jp|pro");
    }
}

TEST_F(AuthModelTest, ALateRefreshLeavesANewerLoginAlone) {
    // The stored login is refused, but only after a new login was made meanwhile.
    store("tok-old", "old@x.jp", "pro");
    Reply refused = Reply::withJson(401, {{"error", "expired"}});
    refused.delay = std::chrono::milliseconds(800);
    fake.script("GET", "/api/me", refused);
    AuthModel model(defaults);
    model.requestCode("new@x.jp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return describe(model.state()) == "codeSent"; }, 5000));
    model.verify(FakeService::kLoginCode);
    ASSERT_TRUE(QTest::qWaitFor([&] { return describe(model.state()) == "new@x.jp/free"; }, 5000));
    settleServiceCalls();
    EXPECT_EQ(describe(model.state()), "new@x.jp/free");
    EXPECT_EQ(defaults.stringValue("authEmail"), "new@x.jp");

    // Nor does an answer that arrives after a logout log back in.
    fake.clearScripts();
    store(fake.issueToken("back@x.jp", "pro"), "back@x.jp", {});
    fake.script("GET", "/api/me", Reply::late(std::chrono::milliseconds(300)));
    AuthModel second(defaults);
    second.logout();
    settleServiceCalls();
    EXPECT_EQ(describe(second.state()), "loggedOut");
    EXPECT_EQ(stored(), "-|-|-");
}

TEST_F(AuthModelTest, CodeLogin) {
    store("tok-kept", "me@x.jp", "pro");
    fake.script("GET", "/api/me", Reply::withJson(500, {}));
    AuthModel model(defaults);
    model.verify(FakeService::kLoginCode);  // no code sent yet: nothing to verify
    EXPECT_FALSE(model.busy());

    model.requestCode(" Sato@Example.JP ");
    EXPECT_TRUE(model.busy());
    settleServiceCalls();
    EXPECT_EQ(describe(model.state()), "codeSent");
    EXPECT_EQ(stored(), "tok-kept|me@x.jp|pro");  // untouched until verified

    // A wrong code keeps the step, so that another code can be tried.
    const AuthModel::State sent = model.state();
    model.verify("000000");
    settleServiceCalls();
    EXPECT_EQ(model.error(), "コードが正しくありません");
    EXPECT_EQ(model.state(), sent);

    model.verify(FakeService::kLoginCode);
    EXPECT_EQ(model.error(), std::nullopt);  // cleared as the next attempt starts
    settleServiceCalls();
    EXPECT_FALSE(model.busy());
    // The address is kept as typed.
    EXPECT_EQ(describe(model.state()), " Sato@Example.JP /free");
    EXPECT_EQ(stored(), *model.token() + "| Sato@Example.JP |free");

    model.logout();
    EXPECT_EQ(describe(model.state()), "loggedOut");
    EXPECT_EQ(stored(), "-|-|-");
}

}  // namespace
