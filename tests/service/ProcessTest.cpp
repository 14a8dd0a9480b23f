#include <QByteArray>

#include <fstream>
#include <random>

#include "ServiceFixture.h"
#include "service/TavroAPI.h"
#include "support/TempDir.h"

namespace {

using Reply = FakeService::Reply;

class ProcessTest : public ServiceFixture {
protected:
    testsupport::TempDir dir;

    std::filesystem::path recording(std::size_t size, const std::string& name = "会議.m4a") {
        std::string data(size, '\0');
        std::mt19937 random(static_cast<unsigned>(size));
        for (auto& c : data) c = static_cast<char>(random());
        std::ofstream(dir / name, std::ios::binary).write(data.data(), data.size());
        return dir / name;
    }

    static std::string contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(ProcessTest, InlineUpToTheLimitUploadAbove) {
    for (std::size_t size : {std::size_t{3145728}, std::size_t{3145729}}) {
        SCOPED_TRACE(size);
        fake.clearRequests();
        const auto path = recording(size);
        EXPECT_EQ(TavroAPI::process(path, "standard", std::nullopt), sample());

        const json::Value body = only("POST", "/api/process").json();
        EXPECT_EQ(json::requireString(body, "mimeType"), "audio/mp4");
        EXPECT_EQ(json::requireString(body, "templateId"), "standard");
        if (size == 3145728) {
            EXPECT_EQ(fake.requests().size(), 1u);
            EXPECT_FALSE(json::has(body, "fileUri"));
            const QByteArray audio = QByteArray::fromBase64(
                QByteArray::fromStdString(json::requireString(body, "inlineBase64")));
            EXPECT_EQ(audio.toStdString(), contents(path));
            continue;
        }
        EXPECT_FALSE(json::has(body, "inlineBase64"));
        const json::Value address = only("POST", "/api/upload-url").json();
        EXPECT_EQ(address, (json::Value{{"mimeType", "audio/mp4"},
                                        {"sizeBytes", 3145729},
                                        {"displayName", "会議.m4a"}}));
        const auto all = fake.requests();
        ASSERT_EQ(all.size(), 3u);
        const auto& upload = all[1];
        EXPECT_EQ(upload.method, "POST");
        EXPECT_EQ(upload.header("X-Goog-Upload-Command"), "upload, finalize");
        EXPECT_EQ(upload.header("X-Goog-Upload-Offset"), "0");
        EXPECT_FALSE(upload.header("Content-Type"));
        EXPECT_FALSE(upload.header("Authorization"));
        EXPECT_EQ(upload.body, contents(path));
        EXPECT_EQ(json::requireString(body, "fileUri"),
                  fake.baseUrl() + "/files/" + upload.path.substr(8));
    }
}

TEST_F(ProcessTest, HintsAreCappedAndOmittedWhenEmpty) {
    std::vector<std::string> terms, names;
    for (int i = 0; i < 250; ++i) terms.push_back("用語" + std::to_string(i));
    for (int i = 0; i < 60; ++i) names.push_back("参加者" + std::to_string(i));
    struct Case {
        std::optional<std::string> instruction;
        std::size_t vocabulary, participants;
    } cases[] = {{std::nullopt, 0, 0}, {"", 200, 50}, {"箇条書きで", 250, 60}, {"短く", 3, 2}};
    const auto path = recording(100);
    for (const auto& c : cases) {
        fake.clearRequests();
        TavroAPI::process(path, "custom-1", c.instruction,
                          {terms.begin(), terms.begin() + c.vocabulary},
                          {names.begin(), names.begin() + c.participants});
        const json::Value body = only("POST", "/api/process").json();
        EXPECT_EQ(json::optionalString(body, "templateInstruction"),
                  c.instruction && !c.instruction->empty() ? c.instruction : std::nullopt);
        const auto sent = [&](const char* key, const std::vector<std::string>& all,
                              std::size_t given, std::size_t cap) {
            SCOPED_TRACE(key);
            if (given == 0) {
                EXPECT_FALSE(json::has(body, key));
            } else {
                std::vector<std::string> expected(all.begin(), all.begin() + std::min(given, cap));
                EXPECT_EQ(json::requireStringArray(body, key), expected);
            }
        };
        sent("vocabulary", terms, c.vocabulary, 200);
        sent("participants", names, c.participants, 50);
    }
}

TEST_F(ProcessTest, UploadFailures) {
    const std::string uploadAt = fake.baseUrl() + "/storage/put";
    struct Case {
        const char* name;
        Reply address;
        Reply upload;
        std::string error;
    } cases[] = {
        {"no address", Reply::withJson(200, {{"url", uploadAt}}), Reply::withJson(200, {}),
         "アップロードURL取得に失敗"},
        {"address not a URL", Reply::withJson(200, {{"uploadUrl", "::nothing"}}),
         Reply::withJson(200, {}), "アップロードURL取得に失敗"},
        {"address not http", Reply::withJson(200, {{"uploadUrl", "file:///etc/passwd"}}),
         Reply::withJson(200, {}), "アップロードURL取得に失敗"},
        {"address refused", Reply::withJson(500, {{"error", "容量不足"}}), Reply::withJson(200, {}),
         "容量不足"},
        {"403 without file", Reply::withJson(200, {{"uploadUrl", uploadAt}}),
         Reply::withJson(403, {{"error", "forbidden"}}), "アップロードに失敗"},
        {"file without uri", Reply::withJson(200, {{"uploadUrl", uploadAt}}),
         Reply::withJson(200, {{"file", {{"name", "x"}}}}), "アップロードに失敗"},
        {"html answer", Reply::withJson(200, {{"uploadUrl", uploadAt}}),
         Reply::withBody(200, "<html></html>", "text/html"), APIError::kUnreadableReply},
    };
    const auto path = recording(3145729);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.clearRequests();
        fake.script("POST", "/api/upload-url", c.address);
        fake.script("POST", "/storage/put", c.upload);
        EXPECT_EQ(errorOf([&] { TavroAPI::process(path, "standard", std::nullopt); }).message(),
                  c.error);
        EXPECT_TRUE(fake.requests("POST", "/api/process").empty());
    }
}

TEST_F(ProcessTest, ProcessingReplies) {
    json::Value both = {{"result", sampleMinutesJson()}, {"error", "無視される"}};
    struct Case {
        json::Value reply;
        const char* error;  // nullptr: the sample minutes come back
    } cases[] = {
        {{{"error", "音声が短すぎます"}}, "音声が短すぎます"},
        {json::Value::object(), "処理に失敗しました"},
        {both, nullptr},
        {{{"result", {{"title", 1}}}}, APIError::kUnreadableReply},
    };
    const auto path = recording(10);
    for (const auto& c : cases) {
        SCOPED_TRACE(json::dumpCompact(c.reply));
        fake.script("POST", "/api/process", Reply::withJson(200, c.reply));
        if (c.error == nullptr) {
            EXPECT_EQ(TavroAPI::process(path, "standard", std::nullopt), sample());
        } else {
            APIError e = errorOf([&] { TavroAPI::process(path, "standard", std::nullopt); });
            EXPECT_EQ(e.message(), c.error);
            EXPECT_EQ(e.httpStatus(), 200);
        }
    }
}

TEST_F(ProcessTest, UnreadableRecordingSendsNothing) {
    for (const auto& path : {dir / "missing.m4a", dir.path()}) {
        APIError e = errorOf([&] { TavroAPI::process(path, "standard", std::nullopt); });
        EXPECT_EQ(e.source(), APIError::Source::local);
        EXPECT_EQ(e.message(), APIError::kUnreadableFile);
    }
    EXPECT_TRUE(fake.requests().empty());
}

}  // namespace
