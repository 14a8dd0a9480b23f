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

using Collaborator = TavroAPI::Collaborator;

class SharedMinutesTest : public ServiceFixture {
protected:
    std::string token = fake.issueToken("owner@example.jp");
};

TEST_F(SharedMinutesTest, CreateReadChangeDelete) {
    const std::vector<Collaborator> people = {{"a@example.jp", "viewer"},
                                              {"b@example.jp", "editor"}};
    const auto created = TavroAPI::createSharedMinutes(sample(), people, true, token);
    EXPECT_EQ(created.publicURL.value_or("").rfind(fake.baseUrl() + "/shared/", 0), 0u);
    EXPECT_EQ(MinutesResult::fromJson((*fake.sharedCopy(created.id))["result"]), sample());
    const auto read = TavroAPI::sharedMinutes(created.id, token);
    EXPECT_EQ(read.collaborators, people);
    EXPECT_TRUE(read.isPublic);

    EXPECT_EQ(TavroAPI::updateSharedMinutes(created.id, sample(), {people[0]}, false, token),
              std::nullopt);
    EXPECT_FALSE(TavroAPI::sharedMinutes(created.id, token).isPublic);
    EXPECT_EQ(only("PATCH", "/api/shared-minutes/" + created.id).header("Authorization"),
              "Bearer " + token);

    TavroAPI::deleteSharedMinutes(created.id, token);
    EXPECT_FALSE(fake.sharedCopy(created.id));
    EXPECT_EQ(errorOf([&] { TavroAPI::sharedMinutes(created.id, token); }).httpStatus(), 404);
}

TEST_F(SharedMinutesTest, IdsStayOnePathSegment) {
    const std::pair<const char*, const char*> cases[] = {
        {"sm-1_A.b~c", "sm-1_A.b~c"},
        {"a/b", "a%2Fb"},
        {"x?y#z", "x%3Fy%23z"},
        {"..", "%2E%2E"},
        {".", "%2E"},
        {"../../api/me", "..%2F..%2Fapi%2Fme"},
        {"会議", "%E4%BC%9A%E8%AD%B0"},
        {"a b%", "a%20b%25"},
    };
    for (const auto& [id, encoded] : cases) {
        SCOPED_TRACE(id);
        fake.clearRequests();
        errorOf([&] { TavroAPI::deleteSharedMinutes(id, token); });  // the fake knows no such id
        errorOf([&] { TavroAPI::updateSharedMinutes(id, sample(), {}, false, token); });
        const auto sent = fake.requests();
        ASSERT_EQ(sent.size(), 2u);
        for (const auto& r : sent)
            EXPECT_EQ(r.target, std::string("/api/shared-minutes/") + encoded);
    }
    // An empty id would address the collection itself.
    EXPECT_EQ(errorOf([&] { TavroAPI::deleteSharedMinutes("", token); }).source(),
              APIError::Source::local);
}

TEST_F(SharedMinutesTest, RepliesReadLeniently) {
    fake.script("POST", "/api/shared-minutes", Reply::withJson(200, {{"id", "x"}}));
    EXPECT_EQ(TavroAPI::createSharedMinutes(sample(), {}, true, token).publicURL, std::nullopt);
    fake.script("POST", "/api/shared-minutes", Reply::withJson(200, {{"id", 7}}));
    EXPECT_EQ(errorOf([&] { TavroAPI::createSharedMinutes(sample(), {}, true, token); }).message(),
              "共有設定の作成に失敗しました");
    fake.script("PATCH", "/api/shared-minutes/x", Reply::withJson(200, {{"publicToken", "p1"}}));
    EXPECT_EQ(TavroAPI::updateSharedMinutes("x", sample(), {}, true, token),
              fake.baseUrl() + "/shared/p1");

    // Entries without a text role are skipped; a list holding a non-object counts as none.
    const std::tuple<const char*, std::vector<Collaborator>, bool> cases[] = {
        {R"({"collaborators":[{"email":"a","role":"v"},{"email":"c","role":1}],"public":true})",
         {{"a", "v"}},
         true},
        {R"({"collaborators":[{"email":"a","role":"v"},"d"],"public":"yes"})", {}, false},
    };
    for (const auto& [body, collaborators, isPublic] : cases) {
        fake.script("GET", "/api/shared-minutes/x", Reply::withBody(200, body, "application/json"));
        const auto read = TavroAPI::sharedMinutes("x", token);
        EXPECT_EQ(read.collaborators, collaborators) << body;
        EXPECT_EQ(read.isPublic, isPublic) << body;
    }
}

}  // namespace
