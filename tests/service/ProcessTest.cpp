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
    std::vector<std::string> terms, names;
    for (int i = 0; i < 250; ++i) terms.push_back("用語" + std::to_string(i));
    for (int i = 0; i < 60; ++i) names.push_back("参加者" + std::to_string(i));
    const struct {
        std::optional<std::string> instruction;
        std::size_t vocabulary, participants;
    } cases[] = {{std::nullopt, 0, 0}, {"", 200, 50}, {"箇条書きで", 250, 60}};
    record(100);
    for (const auto& c : cases) {
        fake.clearRequests();
        TavroAPI::process(path, "custom-1", c.instruction,
                          {terms.begin(), terms.begin() + c.vocabulary},
                          {names.begin(), names.begin() + c.participants});
        const json::Value body = only("POST", "/api/process").json();
        EXPECT_EQ(json::optionalString(body, "templateInstruction"),
                  c.instruction == "" ? std::nullopt : c.instruction);
        for (const auto& [key, all, given, cap] :
             {std::tuple{"vocabulary", &terms, c.vocabulary, std::size_t{200}},
              std::tuple{"participants", &names, c.participants, std::size_t{50}}}) {
            if (given == 0)
                EXPECT_FALSE(json::has(body, key)) << key;
            else
                EXPECT_EQ(json::requireStringArray(body, key),
                          std::vector(all->begin(), all->begin() + std::min(given, cap)));
        }
    }
}

TEST_F(ProcessTest, Failures) {
    const std::string putAt = fake.baseUrl() + "/storage/put";
    const struct {
        const char* path;
        Reply reply;
        std::string error;  // empty: the sample minutes come back
    } cases[] = {
        {"/api/upload-url", Reply::withJson(200, {{"uploadUrl", "file:///etc/passwd"}}),
         "アップロードURL取得に失敗"},
        {"/api/upload-url", Reply::withJson(500, {{"error", "容量不足"}}), "容量不足"},
        {"/api/upload-url", Reply::withJson(200, {{"uploadUrl", putAt}}), "アップロードに失敗"},
        {"/api/process", Reply::withJson(200, {{"error", "音声が短すぎます"}}), "音声が短すぎます"},
        {"/api/process", Reply::withJson(200, json::Value::object()), "処理に失敗しました"},
        {"/api/process", Reply::withJson(200, {{"result", {{"title", 1}}}}),
         APIError::kUnreadableReply},
        {"/api/process", Reply::withJson(200, {{"result", sampleMinutesJson()}, {"error", "x"}}),
         ""},
    };
    record(3145729);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        fake.clearRequests();
        fake.clearScripts();
        fake.script("POST", "/storage/put", Reply::withJson(403, {{"error", "forbidden"}}));
        fake.script("POST", c.path, c.reply);
        if (c.error.empty())
            EXPECT_EQ(process(), sample());
        else
            EXPECT_EQ(errorOf([&] { process(); }).message(), c.error);
        EXPECT_EQ(fake.requests("POST", "/api/process").size(),
                  std::string_view(c.path) == "/api/process" ? 1u : 0u);
    }

    fake.clearRequests();
    for (const auto& unreadable : {dir / "missing.m4a", dir.path()})
        EXPECT_EQ(errorOf([&] { TavroAPI::process(unreadable, "standard", std::nullopt); }),
                  APIError::local(APIError::kUnreadableFile));
    EXPECT_TRUE(fake.requests().empty());
}

}  // namespace
