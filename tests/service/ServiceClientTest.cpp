// The service client against the fake service: transport rules, the calls made off the main
// thread, processing, sharing and integrations, the account model; the secrets kept in the real
// keyring; the connect link and the update checker, with the browser and the window manager
// replaced by recorders and notifications checked against the test notification server.
#include <QByteArray>
#include <QDBusConnection>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "ServiceFixture.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "platform/SecretStore.h"
#include "service/AuthModel.h"
#include "service/OAuthLink.h"
#include "service/SecureStore.h"
#include "service/TavroAPI.h"
#include "service/UpdateChecker.h"
#include "support/NotificationWatch.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "util/Text.h"

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
        answer("POST", "/api/t", c.status, c.body);
        answer("PATCH", "/api/t", c.status, c.body);
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
    // status, reply, the plan or "!" + error
    const std::tuple<int, const char*, const char*> cases[] = {
        {200, R"({"email":"a@x"})", "free"},
        {200, R"({"email":"a@x","plan":3})", "free"},
        {201, R"({"email":"a@x"})", "!セッションが無効です"},
        {401, R"({"error":"トークン期限切れ"})", "!セッションが無効です"},
        {200, R"({"plan":"pro"})", "!セッションが無効です"},
        {200, "<html></html>", "!サーバーの応答を読み取れませんでした"},
    };
    for (const auto& [status, body, plan] : cases) {
        answer("GET", "/api/me", status, body);
        if (plan[0] != '!')
            EXPECT_EQ(TavroAPI::me("t").plan, plan) << body;
        else
            EXPECT_EQ(errorOf([] { TavroAPI::me("t"); }), APIError::service(plan + 1, status))
                << body;
    }
    // "The service said no" and "no network" stay apart.
    ScopedServiceUrl nobody("http://127.0.0.1:1");
    EXPECT_TRUE(errorOf([] { TavroAPI::me("t"); }).noResponse());
}

TEST(ServiceCallTest, OutcomeArrivesOnTheReceiversThread) {
    QObject receiver;
    std::optional<ServiceOutcome<int>> value;
    std::optional<ServiceOutcome<std::monostate>> failure, bug;
    QThread *workThread = nullptr, *doneThread = nullptr;
    callService(
        &receiver, [&] { return workThread = QThread::currentThread(), 42; },
        [&](ServiceOutcome<int> o) { doneThread = QThread::currentThread(), value = o; });
    callService(
        &receiver, [] { throw APIError::service("失敗", 500); },
        [&](ServiceOutcome<std::monostate> o) { failure = o; });
    callService(
        &receiver, [] { throw std::logic_error("bug"); },
        [&](ServiceOutcome<std::monostate> o) { bug = o; });

    ASSERT_TRUE(QTest::qWaitFor([&] { return value && failure && bug; }, 5000));
    EXPECT_EQ(value->value(), 42);
    EXPECT_NE(workThread, QThread::currentThread());
    EXPECT_EQ(doneThread, QThread::currentThread());
    EXPECT_EQ(failure->error(), APIError::service("失敗", 500));
    EXPECT_EQ(bug->error().message(), APIError::kUnexpected);
}

TEST(ServiceCallTest, NothingArrivesAfterTheReceiverIsGone) {
    auto receiver = std::make_unique<QObject>();
    std::atomic<bool> workDone = false;
    bool called = false;
    callService(
        receiver.get(),
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return workDone = true, 1;
        },
        [&](ServiceOutcome<int>) { called = true; });
    receiver.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return workDone.load(); }, 5000));
    QTest::qWait(50);
    EXPECT_FALSE(called);
}

class ProcessTest : public ServiceFixture {
protected:
    testsupport::TempDir dir;
    std::filesystem::path path = dir / "会議.m4a";

    // Writes a recording of `size` random bytes and returns them.
    std::string record(std::size_t size) {
        std::string data(size, '\0');
        std::mt19937 random(static_cast<unsigned>(size));
        for (auto& c : data) c = static_cast<char>(random());
        std::ofstream(path, std::ios::binary).write(data.data(), data.size());
        return data;
    }
    MinutesResult process() const { return TavroAPI::process(path, "standard", std::nullopt); }
};

// The fake takes an upload only with its headers and the announced size, and minutes only for a
// file that was uploaded.
TEST_F(ProcessTest, InlineUpToTheLimitUploadAbove) {
    for (std::size_t size : {std::size_t{3145728}, std::size_t{3145729}}) {
        SCOPED_TRACE(size);
        fake.clearRequests();
        const std::string data = record(size);
        EXPECT_EQ(process(), sample());
        const json::Value body = only("POST", "/api/process").json();
        const auto all = fake.requests();
        if (size == 3145728) {
            EXPECT_EQ(all.size(), 1u);
            EXPECT_EQ(QByteArray::fromBase64(
                          QByteArray::fromStdString(json::requireString(body, "inlineBase64"))),
                      QByteArray::fromStdString(data));
            continue;
        }
        EXPECT_FALSE(json::has(body, "inlineBase64"));
        EXPECT_EQ(
            only("POST", "/api/upload-url").json(),
            (json::Value{
                {"mimeType", "audio/mp4"}, {"sizeBytes", size}, {"displayName", "会議.m4a"}}));
        ASSERT_EQ(all.size(), 3u);
        EXPECT_FALSE(all[1].header("Content-Type"));
        EXPECT_FALSE(all[1].header("Expect"));  // a large body would otherwise wait for a 100
        EXPECT_FALSE(all[1].header("Authorization"));
        EXPECT_EQ(all[1].body, data);
    }
}

TEST_F(ProcessTest, HintsAreCappedAndOmittedWhenEmpty) {
    std::vector<std::string> words;
    for (int i = 0; i < 250; ++i) words.push_back("用語" + std::to_string(i));
    record(100);
    // given, then how many are sent as vocabulary and as participants (0: the key is left out)
    const std::size_t cases[][3] = {{0, 0, 0}, {50, 50, 50}, {200, 200, 50}, {250, 200, 50}};
    for (const auto& [given, terms, names] : cases) {
        fake.clearRequests();
        const std::vector<std::string> list(words.begin(), words.begin() + given);
        TavroAPI::process(path, "custom-1", given ? "箇条書きで" : "", list, list);
        const json::Value body = only("POST", "/api/process").json();
        EXPECT_EQ(json::has(body, "templateInstruction"), given > 0);
        for (const auto& [key, sent] : {std::pair{"vocabulary", terms}, {"participants", names}}) {
            EXPECT_EQ(json::has(body, key), sent > 0) << key;
            EXPECT_EQ(json::has(body, key) ? json::requireStringArray(body, key)
                                           : std::vector<std::string>(),
                      std::vector(words.begin(), words.begin() + sent))
                << key;
        }
    }
}

TEST_F(ProcessTest, Failures) {
    const std::string putAt = R"({"uploadUrl":")" + fake.baseUrl() + "/storage/put\"}";
    // endpoint, status, reply, the minutes' title or "!" + error
    const std::tuple<std::string, int, std::string, std::string> cases[] = {
        {"/api/upload-url", 200, R"({"uploadUrl":"file:///etc/passwd"})",
         "!アップロードURL取得に失敗"},
        {"/api/upload-url", 500, R"({"error":"容量不足"})", "!容量不足"},
        {"/api/upload-url", 200, putAt, "!アップロードに失敗"},  // the upload is refused
        {"/api/process", 200, R"({"error":"音声が短すぎます"})", "!音声が短すぎます"},
        {"/api/process", 200, R"({"result":{"title":1}})",
         std::string("!") + APIError::kUnreadableReply},
        {"/api/process", 200, json::dumpCompact({{"result", sampleMinutesJson()}, {"error", "x"}}),
         sample().title},
    };
    record(3145729);
    for (const auto& [path, status, reply, title] : cases) {
        fake.clearRequests();
        fake.clearScripts();
        answer("POST", "/storage/put", 403, R"({"error":"forbidden"})");
        answer("POST", path, status, reply);
        EXPECT_EQ(outcome([&] { return process().title; }), title) << reply;
        EXPECT_EQ(fake.requests("POST", "/api/process").size(), path == "/api/process" ? 1u : 0u);
    }

    fake.clearRequests();
    for (const auto& unreadable : {dir / "missing.m4a", dir.path()})
        EXPECT_EQ(errorOf([&] { TavroAPI::process(unreadable, "standard", std::nullopt); }),
                  APIError::local(APIError::kUnreadableFile));
    EXPECT_TRUE(fake.requests().empty());
}

// Calls made for a signed-in account.
class IntegrationsTest : public ServiceFixture {
protected:
    std::string token = fake.issueToken("owner@example.jp");
};

TEST_F(IntegrationsTest, ShareSendsTheMinutesWithTheAccountToken) {
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

using SharedMinutesTest = IntegrationsTest;

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
        answer("GET", "/api/shared-minutes/x", 200, body);
        const auto read = TavroAPI::sharedMinutes("x", token);
        EXPECT_EQ(read.collaborators, collaborators) << body;
        EXPECT_EQ(read.isPublic, isPublic) << body;
    }
}

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

TEST_F(AuthModelTest, RefreshDropsTheLoginOnEveryAnswerButAPassingFault) {
    // status (0: nobody listens), reply, whether the login is dropped
    const std::tuple<int, const char*, bool> cases[] = {
        {401, R"({"error":"unauthorized"})", true},
        {403, R"({"error":"forbidden"})", true},
        {200, R"({"plan":"pro"})", true},  // an answer, but not for this login
        {200, "<html>captive portal</html>", true},
        {200, "", true},
        {400, R"({"error":"bad request"})", true},
        {404, "", true},
        {410, R"({"error":"gone"})", true},
        {499, "", true},
        {503, "<html>maintenance</html>", false},
        {500, "", false},
        {599, "", false},
        {408, "", false},
        {429, R"({"error":"slow down"})", false},
        {0, "", false},
    };
    for (const auto& [status, body, loggedOut] : cases) {
        store("tok-stored", "me@x.jp", "pro");
        std::optional<ScopedServiceUrl> nobody;
        if (status)
            answer("GET", "/api/me", status, body);
        else
            nobody.emplace("http://127.0.0.1:1");
        AuthModel model(defaults);
        settleServiceCalls();
        EXPECT_EQ(describe(model.state()), loggedOut ? "loggedOut" : "me@x.jp/pro") << body;
        EXPECT_EQ(stored(), loggedOut ? "-|-|-" : "tok-stored|me@x.jp|pro") << body;
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

TEST(SecureStore, SecretsAsTextUnderTheAppsOwnService) {
    TAVRO_REQUIRE_ENV("secret service", testsupport::probeSecretService());
    // Test processes share one keyring, so the account carries the pid.
    const std::string account = "sharePublicURL:" + std::to_string(getpid());
    const std::string foreign = "org.example.other";
    ASSERT_TRUE(SecretStore::write(foreign, account, "theirs", "test"));

    EXPECT_EQ(SecureStore::read(account), "");
    ASSERT_TRUE(SecureStore::write("https://a/shared/1", account));
    ASSERT_TRUE(SecureStore::write("https://a/shared/2", account));
    EXPECT_EQ(SecureStore::read(account), "https://a/shared/2");

    // An empty value clears the secret, and only ours.
    EXPECT_TRUE(SecureStore::write("", account));
    EXPECT_EQ(SecretStore::read(SecureStore::kService, account), std::nullopt);
    EXPECT_TRUE(SecureStore::write("", account));  // nothing to clear is fine

    // Bytes that are not UTF-8 are no secret at all to the callers.
    ASSERT_TRUE(SecretStore::write(SecureStore::kService, account, "tok\xc3\x28", "test"));
    EXPECT_EQ(SecureStore::read(account), "");
    EXPECT_TRUE(SecureStore::remove(account));
    EXPECT_EQ(SecretStore::read(foreign, account), "theirs");
    SecretStore::remove(foreign, account);
}

std::string base64url(const std::string& bytes, bool pad = false) {
    QByteArray::Base64Options options = QByteArray::Base64UrlEncoding;
    if (!pad) options |= QByteArray::OmitTrailingEquals;
    return QByteArray::fromStdString(bytes).toBase64(options).toStdString();
}

std::string callback(const std::string& provider, const std::string& patch,
                     const std::string& nonce = "N-1", const std::string& head = "tavro://oauth") {
    return head + "?nonce=" + nonce + "&provider=" + provider + "&patch=" + base64url(patch);
}

class OAuthLinkTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    // Leads nowhere: most tests look at settings, not at notifications.
    Notifier quiet{QDBusConnection(QStringLiteral("tavro-not-connected"))};
    // The addresses the app would open, and the times it would come to the front.
    std::vector<QUrl> opened;
    bool browser = true;  // whether the desktop takes what is opened
    int activations = 0;
    Desktop::Opener oldOpener = Desktop::setOpener([this](const QUrl& url) {
        opened.push_back(url);
        return browser;
    });
    Desktop::Activator oldActivator = Desktop::setActivator([this] { ++activations; });
    ~OAuthLinkTest() override {
        Desktop::setOpener(oldOpener);
        Desktop::setActivator(oldActivator);
    }
    std::string setting(const std::string& key) const {
        return defaults.stringValue(key).value_or("-");
    }
};

TEST_F(OAuthLinkTest, ConnectThenCallbackOnce) {
    EXPECT_FALSE(OAuthLink::connect("hubspot", defaults));  // connected by typing its secret
    EXPECT_TRUE(opened.empty());
    browser = false;
    EXPECT_FALSE(OAuthLink::connect("notion", defaults));  // said where the user clicked
    browser = true;
    EXPECT_TRUE(OAuthLink::connect("discord", defaults));  // replaces the pending connection
    const std::string nonce = setting("oauthPendingNonce");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].toString().toStdString(),
              TavroAPI::base() + "/api/oauth/discord/start?client=mac&nonce=" + nonce);

    const std::string url = callback("discord", R"({"discordWebhook":"https://d/1"})", nonce);
    OAuthLink::handle(url, defaults, quiet);
    EXPECT_EQ(setting("discordWebhook"), "https://d/1");
    EXPECT_EQ(activations, 1);
    defaults.set("discordWebhook", "https://d/2");
    OAuthLink::handle(url, defaults, quiet);  // the nonce is used up
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
    EXPECT_EQ(activations, 1);

    // Disconnecting forgets the provider's own keys only.
    for (const char* key : {"notionToken", "notionParentId", "notionPages"}) defaults.set(key, "x");
    OAuthLink::disconnect("notion", defaults);
    EXPECT_EQ(setting("notionToken") + setting("notionParentId") + setting("notionPages"), "--x");
    EXPECT_EQ(setting("discordWebhook"), "https://d/2");
}

TEST_F(OAuthLinkTest, CallbackAcceptsOnlyTheExpectedAnswer) {
    const std::string patch = R"({"slackWebhook":"https://h/T1","slackTeam":"開発"})";
    const std::string head = "tavro://oauth?nonce=N-1&provider=slack&patch=";
    const std::string unchanged = "-|old|-|-";
    const struct {
        std::string url;
        bool nonceLeft;        // still pending afterwards
        std::string settings;  // slackWebhook|slackTeam|slackChannel|notionToken
    } cases[] = {
        {callback("slack", patch), false, "https://h/T1|開発|-|-"},
        {head + base64url(R"({"slackChannel":"#議事録"})", true), false, "-|old|#議事録|-"},
        // An empty value leaves the setting as it was.
        {callback("slack", R"({"slackTeam":"","slackChannel":"#a"})"), false, "-|old|#a|-"},
        // Refused before the nonce is looked at: the connection stays pending. The name is
        // case-sensitive, which QUrl would hide.
        {callback("slack", patch, "N-1", "Tavro://oauth"), true, unchanged},
        {callback("slack", patch, "N-1", "tavro://OAUTH"), true, unchanged},
        {callback("slack", patch, "N-0"), true, unchanged},
        // Refused after the nonce matched: used up, and nothing is written.
        {callback("slack", R"({"slackTeam":"a","notionToken":"s"})"), false, unchanged},
        {head + base64url("{\"slackTeam\":\"\xfb\xff\"}"), false, unchanged},  // not UTF-8
        {head + "eyJ+/w", false, unchanged},  // base64 rather than base64url
        {head + "eyJ9e", false, unchanged},   // an impossible length
        {callback("slack", R"({"slackTeam":1})"), false, unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        for (const char* key : {"slackWebhook", "slackChannel", "notionToken"})
            defaults.remove(key);
        defaults.set("slackTeam", "old");
        defaults.set("oauthPendingNonce", "N-1");
        activations = 0;

        OAuthLink::handle(c.url, defaults, quiet);

        EXPECT_EQ(setting("oauthPendingNonce"), c.nonceLeft ? "N-1" : "-");
        EXPECT_EQ(setting("slackWebhook") + "|" + setting("slackTeam") + "|" +
                      setting("slackChannel") + "|" + setting("notionToken"),
                  c.settings);
        EXPECT_EQ(activations, c.settings == unchanged ? 0 : 1);
    }
}

TEST_F(OAuthLinkTest, ConnectedProviderIsAnnounced) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    Notifier notifier(QDBusConnection::sessionBus());
    const char* autoSend = "議事録の完成後、PDF/Word付きで自動送信されます。";
    // provider, the page chosen before, the notification's title and text
    const std::tuple<std::string, const char*, const char*, const char*> cases[] = {
        {"slack", "", "Slackと接続しました", autoSend},
        {"notion", "", "Notionと接続しました",
         "設定 > 連携 で議事録の保存先ページを選択してください。"},
        {"notion", "page-1", "Notionと接続しました", autoSend},
    };
    for (const auto& [provider, parentBefore, title, body] : cases) {
        SCOPED_TRACE(provider + " " + parentBefore);
        defaults.set("notionParentId", parentBefore);
        defaults.set("oauthPendingNonce", "N-1");
        const std::string key = provider == "slack" ? "slackTeam" : "notionToken";
        NotificationWatch watch;
        OAuthLink::handle(callback(provider, "{\"" + key + "\":\"v\"}"), defaults, notifier);
        const auto shown = watch.find(QString::fromUtf8(title));
        ASSERT_FALSE(shown.empty());
        // As sent to a server that reads markup.
        EXPECT_EQ(shown[0].body, QString::fromUtf8(body).toHtmlEscaped());
    }
}

const std::string kHost = QUrl(TavroAPI::kDefaultBase).host().toStdString();
const std::string kDownload = "https://" + kHost + "/download/TAVRO.dmg";

TEST(UpdateCheckerRules, VersionsCompareByNumber) {
    // offered, running, whether the offer is newer ("_" stands for an empty version)
    std::istringstream table(R"(
        1.10 1.9 1        1.9 1.10 0       1.2.0 1.2 0      1.2.1 1.2 1
        2.0-beta 1.9 1    1.9-beta 1.9 0   1.0 0 1          0.0 0 0
        1..2 1.1 1        .1. 0.9 1        +2 1 1           -1 0 0
        +-2 1 0           _ _ 0            1.2.3.4 1.2.3 1  99999999999999999999 1 0
        9223372036854775807 9223372036854775806 1)");
    std::string offered, running;
    bool newer;
    while (table >> offered >> running >> newer) {
        if (offered == "_") offered.clear();
        if (running == "_") running.clear();
        EXPECT_EQ(UpdateChecker::isNewer(offered, running), newer) << offered << " vs " << running;
    }
    EXPECT_FALSE(UpdateChecker::isNewer(" 2", "1"));
}

TEST(UpdateCheckerRules, FeedReplies) {
    // A feed offering 2.0 from `download`, padded with spaces to `size` bytes.
    auto feed = [](const std::string& download, std::size_t size = 0) {
        std::string body = json::dumpCompact({{"version", "2.0"}, {"dmgUrl", download}});
        return body.insert(1, std::max(size, body.size()) - body.size(), ' ');
    };
    const std::string site = "https://" + kHost;
    // status, reply, whether the feed is on this machine, whether 2.0 is offered
    const std::tuple<long, std::string, bool, bool> cases[] = {
        {200, feed(kDownload), false, true},
        {201, feed(kDownload), false, false},
        {200, feed(kDownload, 32768), false, true},
        {200, feed(kDownload, 32769), false, false},
        {200, "<html>", false, false},
        {200, R"({"version":2,"dmgUrl":")" + kDownload + "\"}", false, false},
        {200, R"({"version":"2.0"})", false, false},
        // Only the service's own download, unless the feed itself is on this machine.
        {200, feed(site + ":8443/download/TAVRO.dmg?x=1#f"), false, true},
        {200, feed("http://" + kHost + "/download/TAVRO.dmg"), false, false},
        {200, feed("https://evil.example/download/TAVRO.dmg"), false, false},
        {200, feed(site + ".evil.example/download/TAVRO.dmg"), false, false},
        {200, feed(site + "/download/other.dmg"), false, false},
        {200, feed(site + "/download/../download/TAVRO.dmg"), false, false},
        {200, feed("http://127.0.0.1:1/a.dmg"), true, true},
        {200, feed("file:///usr/bin/xterm"), true, false},  // but only a web address
        {200, feed("javascript:alert(1)"), true, false},
    };
    for (const auto& [status, body, loopback, offered] : cases)
        EXPECT_EQ(UpdateChecker::readFeed(status, body, loopback, "1.2").has_value(), offered)
            << status << " " << body.substr(0, 80);
    EXPECT_FALSE(UpdateChecker::readFeed(200, feed(kDownload), false, "2.0.0"));
}

// The update checker with the same settings, notifier and recorders.
using UpdateCheckerTest = OAuthLinkTest;

TEST_F(UpdateCheckerTest, OnlyALoopbackFeedReplacesTheServicesOwn) {
    UpdateChecker checker("1.0", defaults, quiet);
    const std::string service = TavroAPI::base() + "/version.json";
    EXPECT_EQ(checker.feedURL(), service);
    for (const auto& [configured, used] : std::initializer_list<std::pair<std::string, bool>>{
             {"http://127.0.0.1:8123/feed.json", true},
             {"http://localhost/v", true},
             {"https://feeds.example/version.json", false},
             {"http://127.0.0.2/version.json", false},
             {"http://localhost.example/version.json", false},
             {"not an address", false}}) {
        defaults.set("updateFeedURL", configured);
        EXPECT_EQ(checker.feedURL(), used ? configured : service) << configured;
    }
}

TEST_F(UpdateCheckerTest, FoundPublishedAnnouncedOnceAndOpenedByAClick) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    FakeService fake;
    Notifier notifier(QDBusConnection::sessionBus());
    // Unique per process: test processes share the notification server.
    const std::string version = "9." + std::to_string(getpid());
    const QString title = QString::fromStdString("TAVRO " + version + " が利用できます");
    const std::string download = fake.baseUrl() + "/download/TAVRO.dmg";
    ScopedServiceUrl service(fake.baseUrl());  // the feed follows the service's address
    fake.setLatestVersion(version);

    NotificationWatch watch;
    {
        UpdateChecker checker("0.1.0", defaults, notifier);
        checker.openDownload();  // nothing found yet
        EXPECT_TRUE(opened.empty());

        checker.start();
        settleServiceCalls();
        EXPECT_EQ(checker.availableVersion(), version);
        EXPECT_EQ(checker.downloadURL(), download);
        ASSERT_TRUE(checker.findChild<QTimer*>());
        EXPECT_TRUE(checker.findChild<QTimer*>()->isActive());
        const auto shown = watch.find(title);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].body, "通知をクリックするとダウンロードします(トレイからも可能)");

        // A click on the notification opens the download.
        QTest::qWait(100);  // the server's id may still be on its way to the notifier
        ASSERT_TRUE(testsupport::TestNotificationServer::click(shown[0].id));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.empty(); }, 5000));
        EXPECT_EQ(opened[0].toString().toStdString(), download);

        // Where no browser takes it, a notification says so and gives the address.
        browser = false;
        NotificationWatch failures;
        checker.openDownload();
        const auto failed = failures.find(QStringLiteral("ダウンロードを開けませんでした"));
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(
            failed[0].body,
            QStringLiteral("ブラウザを開けませんでした。既定のブラウザを確認してください。\n") +
                QString::fromStdString(download));
        browser = true;
    }

    // After a restart the version is published again, still without a second notification.
    fake.clearScripts();
    UpdateChecker restarted("0.1.0", defaults, notifier);
    restarted.check();
    settleServiceCalls();
    EXPECT_EQ(restarted.availableVersion(), version);
    QTest::qWait(200);  // time for a second notification to reach the server, were one sent
    EXPECT_EQ(watch.find(title).size(), 1u);
}

}  // namespace
