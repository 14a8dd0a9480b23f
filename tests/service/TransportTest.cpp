#include <chrono>

#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

class TransportTest : public ServiceFixture {};

TEST_F(TransportTest, ReplyRulesOfPostAgainstRequest) {
    const std::string unreadable = std::string("!") + APIError::kUnreadableReply;
    // Either the compact JSON returned, or the error text (prefixed "!").
    const struct {
        int status;
        std::string body, post, request;
    } cases[] = {
        {500, R"({"error":"内部エラー"})", "!内部エラー", "!内部エラー"},
        {400, R"({"error":""})", "!", "!"},
        {404, R"({"message":"x"})", "!APIエラー (404)", "!APIエラー (404)"},
        {400, R"({"error":5})", "!APIエラー (400)", "!APIエラー (400)"},
        {502, "<html></html>", unreadable, "!APIエラー (502)"},
        {200, "[]", "!不正なレスポンス", "{}"},
        {200, "", unreadable, "{}"},
        {204, R"({"a":1})", unreadable, "{}"},
        {200, R"({"error":"x"})", R"({"error":"x"})", R"({"error":"x"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.body);
        fake.script("POST", "/api/t", Reply::withBody(c.status, c.body, "application/json"));
        fake.script("PATCH", "/api/t", Reply::withBody(c.status, c.body, "application/json"));
        auto check = [&](const std::string& expected, const std::function<json::Value()>& call) {
            if (expected[0] != '!')
                EXPECT_EQ(json::dumpCompact(call()), expected);
            else
                EXPECT_EQ(errorOf([&] { call(); }),
                          APIError::service(expected.substr(1), c.status));
        };
        check(c.post, [] { return TavroAPI::postJSON("/api/t", {{"q", 1}}); });
        check(c.request,
              [] { return TavroAPI::requestJSON("PATCH", "/api/t", std::nullopt, "t"); });
    }
}

TEST_F(TransportTest, HeadersAndBody) {
    fake.script("POST", "/api/t", Reply::withJson(200, json::Value::object()));
    fake.script("GET", "/api/t", Reply::withJson(200, json::Value::object()));
    TavroAPI::postJSON("/api/t", {{"名前", "会議"}});
    TavroAPI::requestJSON("GET", "/api/t", std::nullopt, "abc");
    // An absolute address goes there, whatever the configured base.
    ScopedServiceUrl elsewhere("http://127.0.0.1:1");
    TavroAPI::postJSON(fake.baseUrl() + "/api/t", json::Value::object(), std::string("abc"));

    const auto all = fake.requests();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].body, R"({"名前":"会議"})");
    EXPECT_EQ(all[0].header("Content-Type"), "application/json");
    EXPECT_FALSE(all[0].header("Authorization"));
    EXPECT_EQ(all[1].header("Authorization"), "Bearer abc");
    EXPECT_FALSE(all[1].header("Content-Type"));
    EXPECT_EQ(all[2].header("Authorization"), "Bearer abc");
}

TEST_F(TransportTest, AddressesThatCannotBeUsedFailBeforeSending) {
    const std::pair<const char*, const char*> cases[] = {
        {"not a url", "/api/t"}, {"ftp://127.0.0.1", "/api/t"}, {"http://a b", "/api/t"},
        {"http://h", "http//x"}, {"http://h", "http://"},       {"http://h", "httpx:y"},
    };
    for (const auto& [base, path] : cases) {
        ScopedServiceUrl configured(base);
        EXPECT_EQ(errorOf([&] { TavroAPI::postJSON(path, json::Value::object()); }),
                  APIError::local(APIError::kInvalidAddress))
            << base << " + " << path;
    }
}

TEST_F(TransportTest, NoAnswerIsANetworkFailure) {
    // The limit is on inactivity: a handler that stalls is cut off after a second.
    fake.script("POST", "/api/slow", Reply::late(std::chrono::seconds(8)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([] { TavroAPI::postJSON("/api/slow", json::Value::object(), {}, 1); }),
              APIError::network(APIError::kTimedOut));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));

    ScopedServiceUrl nobody("http://127.0.0.1:1");
    EXPECT_EQ(errorOf([] { TavroAPI::requestJSON("GET", "/api/t", std::nullopt, "t"); }),
              APIError::network(APIError::kCannotConnect));
}

// A login reply is read up to its cap of 1 MiB; one byte more stops the transfer with one error.
TEST_F(TransportTest, RepliesAreCappedPerEndpoint) {
    const std::string reply = R"({"challenge":")" + std::string((1 << 20) - 16, 'c') + "\"}";
    fake.script("POST", "/api/auth/request-code", Reply::withBody(200, reply, "text/plain"));
    EXPECT_EQ(TavroAPI::requestCode("a@x").size(), reply.size() - 16);
    fake.script("POST", "/api/auth/request-code", Reply::withBody(200, reply + " ", "text/plain"));
    EXPECT_EQ(errorOf([] { TavroAPI::requestCode("a@x"); }),
              APIError::network(APIError::kReplyTooLarge));
}

// The rest of the code login runs through the account model's tests.
TEST_F(TransportTest, OnlyAPlainOkIsASession) {
    EXPECT_EQ(TavroAPI::me(fake.issueToken("b@example.jp", "pro")).plan, "pro");
    const struct {
        int status;
        const char* body;
        const char* outcome;  // the plan, or "!" + error
    } cases[] = {
        {200, R"({"email":"a@x"})", "free"},
        {200, R"({"email":"a@x","plan":3})", "free"},
        {201, R"({"email":"a@x"})", "!セッションが無効です"},
        {401, R"({"error":"トークン期限切れ"})", "!セッションが無効です"},
        {200, R"({"plan":"pro"})", "!セッションが無効です"},
        {200, "<html></html>", "!サーバーの応答を読み取れませんでした"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        fake.script("GET", "/api/me", Reply::withBody(c.status, c.body, "application/json"));
        if (c.outcome[0] != '!')
            EXPECT_EQ(TavroAPI::me("t").plan, c.outcome);
        else
            EXPECT_EQ(errorOf([] { TavroAPI::me("t"); }),
                      APIError::service(c.outcome + 1, c.status));
    }
    // "The service said no" and "no network" stay apart.
    ScopedServiceUrl nobody("http://127.0.0.1:1");
    EXPECT_TRUE(errorOf([] { TavroAPI::me("t"); }).noResponse());
}

}  // namespace
