#include <chrono>

#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

using Reply = FakeService::Reply;

class TransportTest : public ServiceFixture {};

struct ReplyCase {
    const char* name;
    Reply reply;
    // Either the compact JSON returned, or the error text (prefixed "!").
    const char* post;
    const char* request;
};

TEST_F(TransportTest, ReplyRulesOfPostAgainstRequest) {
    const std::string unreadable = std::string("!") + APIError::kUnreadableReply;
    const ReplyCase cases[] = {
        {"error text", Reply::withJson(500, {{"error", "内部エラー"}}), "!内部エラー",
         "!内部エラー"},
        {"empty error text", Reply::withJson(400, {{"error", ""}}), "!", "!"},
        {"no error text", Reply::withJson(404, {{"message", "x"}}), "!APIエラー (404)",
         "!APIエラー (404)"},
        {"error not a string", Reply::withJson(400, {{"error", 5}}), "!APIエラー (400)",
         "!APIエラー (400)"},
        {"html page", Reply::withBody(502, "<html>Bad Gateway</html>", "text/html"),
         unreadable.c_str(), "!APIエラー (502)"},
        {"list", Reply::withBody(200, "[]", "application/json"), "!不正なレスポンス", "{}"},
        {"null", Reply::withBody(200, "null", "application/json"), "!不正なレスポンス", "{}"},
        {"empty body", Reply::withBody(200, "", "application/json"), unreadable.c_str(), "{}"},
        {"204 with a body", Reply::withBody(204, R"({"a":1})", "application/json"),
         unreadable.c_str(), "{}"},
        {"error under 400", Reply::withJson(200, {{"error", "x"}, {"a", 1}}),
         R"({"a":1,"error":"x"})", R"({"a":1,"error":"x"})"},
        {"201", Reply::withJson(201, {{"a", 1}}), R"({"a":1})", R"({"a":1})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.script("POST", "/api/t", c.reply);
        fake.script("PATCH", "/api/t", c.reply);
        auto check = [&](const char* expected, const std::function<json::Value()>& call) {
            if (expected[0] == '!') {
                APIError e = errorOf([&] { call(); });
                EXPECT_EQ(e.message(), expected + 1);
                EXPECT_EQ(e.httpStatus(), c.reply.status);
            } else {
                EXPECT_EQ(json::dumpCompact(call()), expected);
            }
        };
        check(c.post, [] { return TavroAPI::postJSON("/api/t", {{"q", 1}}); });
        check(c.request,
              [] { return TavroAPI::requestJSON("PATCH", "/api/t", std::nullopt, "t"); });
    }
}

TEST_F(TransportTest, HeadersAndBody) {
    fake.script("POST", "/api/t", Reply::withJson(200, json::Value::object()));
    fake.script("GET", "/api/t", Reply::withJson(200, json::Value::object()));
    fake.script("PATCH", "/api/t", Reply::withJson(200, json::Value::object()));
    TavroAPI::postJSON("/api/t", {{"名前", "会議"}});
    TavroAPI::postJSON("/api/t", json::Value::object(), std::string());
    TavroAPI::postJSON("/api/t", json::Value::object(), std::string("abc"));
    TavroAPI::requestJSON("GET", "/api/t", std::nullopt, "abc");
    TavroAPI::requestJSON("PATCH", "/api/t", json::Value{{"a", 1}}, "abc");

    const auto all = fake.requests();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].body, R"({"名前":"会議"})");
    EXPECT_EQ(all[0].header("Content-Type"), "application/json");
    EXPECT_FALSE(all[0].header("Authorization"));
    EXPECT_FALSE(all[0].header("Expect"));
    // The server trims the blank after "Bearer"; what matters is that the header is there.
    ASSERT_TRUE(all[1].header("Authorization"));
    EXPECT_TRUE(all[1].header("Authorization")->starts_with("Bearer"));
    EXPECT_EQ(all[2].header("Authorization"), "Bearer abc");
    EXPECT_EQ(all[3].method, "GET");
    EXPECT_EQ(all[3].header("Authorization"), "Bearer abc");
    EXPECT_FALSE(all[3].header("Content-Type"));
    EXPECT_EQ(all[3].bodySize, 0u);
    EXPECT_EQ(all[4].method, "PATCH");
    EXPECT_EQ(all[4].header("Content-Type"), "application/json");
    EXPECT_EQ(all[4].body, R"({"a":1})");
}

TEST_F(TransportTest, AbsolutePathIgnoresBase) {
    ScopedServiceUrl elsewhere("http://127.0.0.1:1");
    TavroAPI::postJSON(fake.baseUrl() + "/api/auth/request-code", {{"email", "a@example.jp"}});
    EXPECT_EQ(fake.requests().size(), 1u);
}

TEST_F(TransportTest, AddressesThatCannotBeUsedFailBeforeSending) {
    const std::pair<const char*, const char*> cases[] = {
        {"not a url", "/api/t"}, {"ftp://127.0.0.1", "/api/t"}, {"http://a b", "/api/t"},
        {"http://h", "http//x"}, {"http://h", "http://"},       {"http://h", "httpx:y"},
    };
    for (const auto& [base, path] : cases) {
        SCOPED_TRACE(std::string(base) + " + " + path);
        ScopedServiceUrl configured(base);
        APIError e = errorOf([&] { TavroAPI::postJSON(path, json::Value::object()); });
        EXPECT_EQ(e.source(), APIError::Source::local);
        EXPECT_EQ(e.message(), APIError::kInvalidAddress);
    }
}

TEST_F(TransportTest, NoServiceIsANetworkFailure) {
    ScopedServiceUrl nobody("http://127.0.0.1:1");
    APIError e = errorOf([] { TavroAPI::requestJSON("GET", "/api/t", std::nullopt, "t"); });
    EXPECT_TRUE(e.noResponse());
    EXPECT_EQ(e.message(), APIError::kCannotConnect);
    EXPECT_FALSE(e.httpStatus());
}

TEST_F(TransportTest, StalledAnswerHitsTheIdleLimit) {
    fake.script("POST", "/api/slow", Reply::late(std::chrono::seconds(8)));
    const auto start = std::chrono::steady_clock::now();
    APIError e = errorOf([] { TavroAPI::postJSON("/api/slow", json::Value::object(), {}, 1); });
    EXPECT_EQ(e.message(), APIError::kTimedOut);
    EXPECT_TRUE(e.noResponse());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

}  // namespace
