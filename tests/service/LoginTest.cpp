#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

class LoginTest : public ServiceFixture {};

// The rest of the code login runs through the account model's tests.
TEST_F(LoginTest, OnlyAPlainOkIsASession) {
    EXPECT_EQ(TavroAPI::me(fake.issueToken("b@example.jp", "pro")).plan, "pro");
    const struct {
        int status;
        const char* body;
        const char* outcome;  // the plan, or "!" + error
    } cases[] = {
        {200, R"({"email":"a@x"})", "free"},
        {200, R"({"email":"a@x","plan":3})", "free"},
        {201, R"({"email":"a@x"})", "!セッションが無効です"},
        {204, "", "!セッションが無効です"},
        {401, R"({"error":"トークン期限切れ"})", "!セッションが無効です"},
        {200, R"({"plan":"pro"})", "!セッションが無効です"},
        {200, "[]", "!セッションが無効です"},
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
