#include <QByteArray>

#include <fstream>
#include <random>

#include "ServiceFixture.h"
#include "service/TavroAPI.h"
#include "support/TempDir.h"

namespace {

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
    const struct {
        std::string path;
        int status;
        std::string reply, outcome;  // the minutes' title, or "!" + error
    } cases[] = {
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
    for (const auto& c : cases) {
        fake.clearRequests();
        fake.clearScripts();
        answer("POST", "/storage/put", 403, R"({"error":"forbidden"})");
        answer("POST", c.path, c.status, c.reply);
        EXPECT_EQ(outcome([&] { return process().title; }), c.outcome) << c.reply;
        EXPECT_EQ(fake.requests("POST", "/api/process").size(), c.path == "/api/process" ? 1u : 0u);
    }

    fake.clearRequests();
    for (const auto& unreadable : {dir / "missing.m4a", dir.path()})
        EXPECT_EQ(errorOf([&] { TavroAPI::process(unreadable, "standard", std::nullopt); }),
                  APIError::local(APIError::kUnreadableFile));
    EXPECT_TRUE(fake.requests().empty());
}

}  // namespace
