#include <chrono>

#include "ServiceFixture.h"
#include "service/TavroAPI.h"
#include "util/Text.h"

namespace {

using Reply = FakeService::Reply;

class IntegrationsTest : public ServiceFixture {};

TEST_F(IntegrationsTest, ShareSendsTheMinutesWithTheAccountToken) {
    const std::string token = fake.issueToken("a@example.jp");
    TavroAPI::share("slack", {{"slackWebhookURL", "https://hooks.example/1"}}, sample(), "標準",
                    token);
    const auto sent = only("POST", "/api/share");
    EXPECT_EQ(sent.header("Authorization"), "Bearer " + token);
    const json::Value body = sent.json();
    EXPECT_EQ(json::requireString(body, "target"), "slack");
    EXPECT_EQ(body["config"], (json::Value{{"slackWebhookURL", "https://hooks.example/1"}}));
    EXPECT_EQ(MinutesResult::fromJson(body["result"]), sample());
    EXPECT_EQ(json::requireString(body, "templateLabel"), "標準");

    fake.script("POST", "/api/share", Reply::withBody(200, "OK", "text/plain"));
    EXPECT_EQ(errorOf([&] { TavroAPI::share("slack", {}, sample(), "標準", token); }).message(),
              APIError::kUnreadableReply);

    // Text that is not UTF-8 cannot become JSON: nothing is sent.
    fake.clearRequests();
    APIError e = errorOf([&] { TavroAPI::share("slack", {}, sample(), "\xFF", token); });
    EXPECT_EQ(e.message(), APIError::kUnencodable);
    EXPECT_EQ(e.source(), APIError::Source::local);
    EXPECT_TRUE(fake.requests().empty());
}

TEST_F(IntegrationsTest, ExportReturnsRawBytes) {
    const std::string pdf = TavroAPI::exportDocument("pdf", sample(), "標準");
    EXPECT_TRUE(pdf.starts_with("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
    EXPECT_NE(pdf.find('\0'), std::string::npos);
    EXPECT_TRUE(pdf.ends_with("%%EOF\n"));
    EXPECT_TRUE(TavroAPI::exportDocument("docx", sample(), "標準").starts_with("PK\x03\x04"));
    const auto sent = fake.requests("POST", "/api/export");
    EXPECT_FALSE(sent[0].header("Authorization"));
    EXPECT_EQ(json::requireString(sent[0].json(), "format"), "pdf");

    struct Case {
        Reply reply;
        const char* outcome;
    } cases[] = {
        {Reply::withBody(500, "<html>error</html>", "text/html"), "!書き出しに失敗しました (500)"},
        {Reply::withJson(400, {{"error", "未対応の形式です"}}), "!未対応の形式です"},
        {Reply::withJson(422, {{"message", "x"}}), "!書き出しに失敗しました (422)"},
        {Reply::withBody(200, "not a document", "text/plain"), "not a document"},
    };
    for (const auto& c : cases) {
        fake.script("POST", "/api/export", c.reply);
        if (c.outcome[0] == '!') {
            EXPECT_EQ(errorOf([&] { TavroAPI::exportDocument("pdf", sample(), "x"); }).message(),
                      c.outcome + 1);
        } else {
            EXPECT_EQ(TavroAPI::exportDocument("pdf", sample(), "x"), c.outcome);
        }
    }
}

TEST_F(IntegrationsTest, TemplateImport) {
    std::string text;
    for (int i = 0; i < 100005; ++i) text += "e\xCC\x81";  // one character, two code points
    const auto before = std::chrono::system_clock::now();
    const CustomTemplate made = TavroAPI::importTemplate(text, "定例議事録.docx");
    const std::string sent =
        json::requireString(only("POST", "/api/template-import").json(), "text");
    EXPECT_EQ(text::graphemeCount(sent), 100000u);
    EXPECT_EQ(sent.size(), 300000u);
    EXPECT_EQ(made.label, "定例議事録 形式");
    EXPECT_FALSE(made.instruction.empty());
    const long long millis = std::stoll(made.id.substr(7));
    EXPECT_EQ(made.id.substr(0, 7), "custom-");
    EXPECT_GE(
        millis,
        std::chrono::duration_cast<std::chrono::milliseconds>(before.time_since_epoch()).count());

    struct Case {
        json::Value reply;
        const char* outcome;  // "!" + error, or the expected detail
    } cases[] = {
        {{{"label", ""}, {"instruction", "作って"}}, "取り込んだ議事録の構成"},
        {{{"label", "L"}, {"instruction", "作って"}, {"description", "説明"}}, "説明"},
        {{{"label", "L"}, {"instruction", ""}}, "!テンプレートの解析に失敗しました"},
        {{{"label", "L"}, {"instruction", ""}, {"error", "読めません"}}, "!読めません"},
        {{{"instruction", "作って"}}, "!テンプレートの解析に失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(json::dumpCompact(c.reply));
        fake.script("POST", "/api/template-import", Reply::withJson(200, c.reply));
        if (c.outcome[0] == '!') {
            EXPECT_EQ(errorOf([] { TavroAPI::importTemplate("t", "f.pdf"); }).message(),
                      c.outcome + 1);
        } else {
            EXPECT_EQ(TavroAPI::importTemplate("t", "f.pdf").detail, c.outcome);
        }
    }
}

TEST_F(IntegrationsTest, NotionPages) {
    using Page = TavroAPI::NotionPage;
    const auto pages = TavroAPI::notionPages("secret_abc");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].title, "無題");
    const auto sent = only("POST", "/api/notion/pages");
    EXPECT_FALSE(sent.header("Authorization"));
    EXPECT_EQ(sent.body, R"({"token":"secret_abc"})");

    struct Case {
        json::Value reply;
        std::vector<Page> pages;
        const char* error;
    } cases[] = {
        {{{"pages", json::Value::array()}}, {}, nullptr},
        {{{"pages",
           {{{"title", "no id"}}, {{"id", "p"}, {"title", 5}}, {{"id", "q"}, {"title", "Q"}}}}},
         {{"p", "無題"}, {"q", "Q"}},
         nullptr},
        {{{"pages", {{{"id", "p"}}, 1}}}, {}, "ページ一覧の取得に失敗しました"},
        {{{"error", "トークンが無効です"}}, {}, "トークンが無効です"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(json::dumpCompact(c.reply));
        fake.script("POST", "/api/notion/pages", Reply::withJson(200, c.reply));
        if (c.error) {
            EXPECT_EQ(errorOf([] { TavroAPI::notionPages("t"); }).message(), c.error);
        } else {
            EXPECT_EQ(TavroAPI::notionPages("t"), c.pages);
        }
    }
}

}  // namespace
