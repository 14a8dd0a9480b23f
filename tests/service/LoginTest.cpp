#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

using Reply = FakeService::Reply;

class LoginTest : public ServiceFixture {};

TEST_F(LoginTest, CodeLoginThenSession) {
    const std::string challenge = TavroAPI::requestCode(" Sato@Example.JP ");
    EXPECT_EQ(only("POST", "/api/auth/request-code").body, R"({"email":" Sato@Example.JP "})");
    EXPECT_EQ(errorOf([&] { TavroAPI::verifyCode(challenge, "000000"); }).message(),
              "コードが正しくありません");
    const auto login = TavroAPI::verifyCode(challenge, FakeService::kLoginCode);
    EXPECT_EQ(login.email, " Sato@Example.JP ");
    const auto account = TavroAPI::me(login.token);
    EXPECT_EQ(account.email, " Sato@Example.JP ");
    EXPECT_EQ(account.plan, "free");
    EXPECT_EQ(TavroAPI::me(fake.issueToken("b@example.jp", "pro")).plan, "pro");
    const auto sent = fake.requests("GET", "/api/me");
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer " + login.token);
    EXPECT_FALSE(sent[0].header("Content-Type"));
}

TEST_F(LoginTest, OnlyAPlainOkIsASession) {
    const char* invalid = "セッションが無効です";
    struct Case {
        Reply reply;
        const char* outcome;  // "!" + error, or the plan
    } cases[] = {
        {Reply::withJson(200, {{"email", "a@x"}}), "free"},
        {Reply::withJson(200, {{"email", "a@x"}, {"plan", 3}}), "free"},
        {Reply::withJson(200, {{"email", "a@x"}, {"plan", "team"}}), "team"},
        {Reply::withJson(201, {{"email", "a@x"}}), "!"},
        {Reply::withBody(204, "", "application/json"), "!"},
        {Reply::withJson(401, {{"error", "トークン期限切れ"}}), "!"},
        {Reply::withJson(200, {{"plan", "pro"}}), "!"},
        {Reply::withJson(200, json::Value::array()), "!"},
        {Reply::withBody(200, "<html></html>", "text/html"), "!unreadable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body.value_or(""));
        fake.script("GET", "/api/me", c.reply);
        if (c.outcome[0] != '!') {
            EXPECT_EQ(TavroAPI::me("t").plan, c.outcome);
            continue;
        }
        APIError e = errorOf([] { TavroAPI::me("t"); });
        EXPECT_EQ(e.message(),
                  std::string(c.outcome) == "!" ? invalid : APIError::kUnreadableReply);
        EXPECT_EQ(e.httpStatus(), c.reply.status);
        EXPECT_FALSE(e.noResponse());
    }
    // "The service said no" and "no network" stay apart.
    ScopedServiceUrl nobody("http://127.0.0.1:1");
    EXPECT_TRUE(errorOf([] { TavroAPI::me("t"); }).noResponse());
}

TEST_F(LoginTest, ReplyChecks) {
    fake.script("POST", "/api/auth/request-code",
                Reply::withJson(429, {{"error", "しばらくしてから再度お試しください"}}));
    EXPECT_EQ(errorOf([] { TavroAPI::requestCode("a@x"); }).message(),
              "しばらくしてから再度お試しください");
    fake.script("POST", "/api/auth/request-code", Reply::withJson(200, {{"challenge", 1}}));
    EXPECT_EQ(errorOf([] { TavroAPI::requestCode("a@x"); }).message(), "チャレンジ取得に失敗");
    fake.script("POST", "/api/auth/verify", Reply::withJson(200, {{"token", "t"}}));
    EXPECT_EQ(errorOf([] { TavroAPI::verifyCode("c", "1"); }).message(), "認証に失敗しました");
}

}  // namespace
