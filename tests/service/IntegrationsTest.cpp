#include "ServiceFixture.h"
#include "service/TavroAPI.h"
#include "util/Text.h"

namespace {

class IntegrationsTest : public ServiceFixture {};

TEST_F(IntegrationsTest, ShareSendsTheMinutesWithTheAccountToken) {
    const std::string token = fake.issueToken("a@example.jp");
    TavroAPI::share("slack", {{"slackWebhookURL", "https://h/1"}}, sample(), "標準", token);
    const auto sent = only("POST", "/api/share");
    EXPECT_EQ(sent.header("Authorization"), "Bearer " + token);
    EXPECT_EQ(sent.json(), (json::Value{{"target", "slack"},
                                        {"config", {{"slackWebhookURL", "https://h/1"}}},
                                        {"result", sample().toJson()},
                                        {"templateLabel", "標準"}}));

    // Text that is not UTF-8 cannot become JSON: nothing is sent.
    fake.clearRequests();
    EXPECT_EQ(errorOf([&] { TavroAPI::share("slack", {}, sample(), "\xFF", token); }),
              APIError::local(APIError::kUnencodable));
    EXPECT_TRUE(fake.requests().empty());
}

TEST_F(IntegrationsTest, ExportReturnsRawBytes) {
    const std::string pdf = TavroAPI::exportDocument("pdf", sample(), "標準");
    EXPECT_TRUE(pdf.starts_with("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
    EXPECT_NE(pdf.find('\0'), std::string::npos);
    EXPECT_TRUE(pdf.ends_with("%%EOF\n"));
    EXPECT_EQ(json::requireString(only("POST", "/api/export").json(), "format"), "pdf");

    const std::tuple<int, const char*, const char*> cases[] = {
        {500, "<html>error</html>", "!書き出しに失敗しました (500)"},
        {400, R"({"error":"未対応の形式です"})", "!未対応の形式です"},
        {200, "not a document", "not a document"},
    };
    for (const auto& [status, body, expected] : cases) {
        answer("POST", "/api/export", status, body);
        EXPECT_EQ(outcome([] { return TavroAPI::exportDocument("pdf", sample(), "x"); }), expected);
    }
}

TEST_F(IntegrationsTest, TemplateImport) {
    std::string text;
    for (int i = 0; i < 100005; ++i) text += "e\xCC\x81";  // one character, two code points
    const CustomTemplate made = TavroAPI::importTemplate(text, "定例議事録.docx");
    const std::string sent =
        json::requireString(only("POST", "/api/template-import").json(), "text");
    EXPECT_EQ(text::graphemeCount(sent), 100000u);
    EXPECT_EQ(sent.size(), 300000u);
    EXPECT_EQ(made.label, "定例議事録 形式");
    EXPECT_TRUE(made.id.starts_with("custom-"));

    const std::pair<const char*, const char*> cases[] = {
        {R"({"label":"","instruction":"作って"})", "取り込んだ議事録の構成"},
        {R"({"label":"L","instruction":"作って","description":"説明"})", "説明"},
        {R"({"label":"L","instruction":""})", "!テンプレートの解析に失敗しました"},
        {R"({"instruction":"作って","error":"読めません"})", "!読めません"},
    };
    for (const auto& [reply, detail] : cases) {
        answer("POST", "/api/template-import", 200, reply);
        EXPECT_EQ(outcome([] { return TavroAPI::importTemplate("t", "f.pdf").detail; }), detail)
            << reply;
    }
}

TEST_F(IntegrationsTest, NotionPages) {
    EXPECT_EQ(TavroAPI::notionPages("secret_abc").size(), 3u);
    const auto sent = only("POST", "/api/notion/pages");
    EXPECT_FALSE(sent.header("Authorization"));
    EXPECT_EQ(sent.body, R"({"token":"secret_abc"})");

    // Pages without an id are left out; a title that is not text reads as none.
    const std::pair<const char*, const char*> cases[] = {
        {R"({"pages":[{"title":"x"},{"id":"p","title":5},{"id":"q","title":"Q"}]})", "p:無題 q:Q "},
        {R"({"pages":[{"id":"p"},1]})", "!ページ一覧の取得に失敗しました"},
        {R"({"error":"トークンが無効です"})", "!トークンが無効です"},
    };
    for (const auto& [reply, pages] : cases) {
        answer("POST", "/api/notion/pages", 200, reply);
        EXPECT_EQ(outcome([] {
                      std::string out;
                      for (const auto& p : TavroAPI::notionPages("t"))
                          out += p.id + ":" + p.title + " ";
                      return out;
                  }),
                  pages)
            << reply;
    }
}

}  // namespace
