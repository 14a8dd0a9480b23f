#include <gtest/gtest.h>

#include "model/MinutesRecord.h"
#include "model/MinutesRecordDecoder.h"
#include "model/ProcessResponse.h"

namespace {

// The record file decoder against the tree route on the same text: the same record, written
// back byte for byte the same, or the same error.
void expectDecoderAgrees(const std::string& text) {
    static MinutesRecordDecoder decoder;
    std::optional<MinutesRecord> tree, fast;
    std::string treeError, fastError;
    try {
        tree = MinutesRecord::fromJson(json::parse(text));
    } catch (const json::Error& e) {
        treeError = e.what();
    }
    try {
        fast = decoder.decode(text);
    } catch (const json::Error& e) {
        fastError = e.what();
    }
    EXPECT_EQ(fastError, treeError) << text;
    ASSERT_EQ(fast, tree) << text;
    if (fast) {
        EXPECT_EQ(json::dumpCompact(fast->toJson()), json::dumpCompact(tree->toJson()));
    }
}

std::string recordText(const std::string& result) {
    return R"({"id":"A","createdAt":"2025-03-07T05:05:00Z","templateId":"m","sourceName":"s",)"
           R"("result":)" +
           result + "}";
}

// The decoding matrix: one member of a valid result replaced ("<absent>": removed); a result
// decodes whole or not at all.
TEST(MinutesDecoding, AcceptsOrFailsWhole) {
    struct Case {
        std::string key, value;
        bool ok;
    };
    std::vector<Case> cases = {
        {"meta", "null", true},
        {"sections", "null", true},
        {"title", "1", false},
        {"keyPoints", R"(["a", 2])", false},
        {"todos", R"([{"task":"x"}])", true},
        {"todos", R"([{"task":"x","auto":"true"}])", false},
        {"todos", R"([{"task":"x","refs":["1"]}])", false},
        {"todos", R"([{"task":"x","refs":[1.5]}])", false},
        {"todos", R"([{"task":"x","assignee":null,"due":null,"auto":null}])", true},
        {"todos", R"([{"assignee":"x"}])", false},
        {"sections", R"([{"heading":"h","points":["a",{"text":"b"}]}])", true},
        {"sections", R"([{"heading":"h","points":[{"text":"b","refs":"1"}]}])", true},
        {"sections", R"([{"heading":"h","points":[{"refs":[1]}]}])", false},
        {"sections", R"([{"heading":"h","points":[3]}])", false},
        {"sections", R"([{"heading":"h","points":[null]}])", false},
        {"sections", R"([{"heading":"h"}])", false},
        {"transcript", R"([{"speaker":"a"}])", false},
        {"meta", R"({"attendees":[1]})", false},
        {"extra", R"({"anything":[1,2]})", true},
    };
    for (const char* key : {"title", "summary", "keyPoints", "decisions", "todos", "transcript"})
        for (const char* value : {"<absent>", "null"}) cases.push_back({key, value, false});
    for (const auto& c : cases) {
        json::Value v = json::parse(
            R"({"title":"t","summary":"s","keyPoints":[],"decisions":[],"todos":[],"transcript":[]})");
        if (c.value == "<absent>")
            v.erase(c.key);
        else
            v[c.key] = json::parse(c.value);
        if (c.ok)
            EXPECT_NO_THROW(MinutesResult::fromJson(v)) << c.key << ": " << c.value;
        else
            EXPECT_THROW(MinutesResult::fromJson(v), json::Error) << c.key << ": " << c.value;
        expectDecoderAgrees(recordText(json::dumpCompact(v)));
    }
}

// Texts that only the record file decoder sees raw: each is read as the tree reads it.
TEST(MinutesDecoding, RecordFilesAsTheTreeReadsThem) {
    const std::string rest =
        R"("summary":"s","keyPoints":[],"decisions":[],"transcript":[{"speaker":"A","text":"x"}])";
    const std::string todos = R"(,"todos":[{"task":"x"}])";
    const std::string ok = recordText("{" + rest + todos + R"(,"title":"t"})");
    const std::string deep = std::string(3000, '[') + std::string(3000, ']');
    const std::string cases[] = {
        ok,
        recordText(R"({"title":"a","title":"b",)" + rest + todos + "}"),
        recordText(R"({"title":"t","meta":{},"meta":null,)" + rest + todos + "}"),
        recordText(R"({"title":"t\udc00",)" + rest + todos + "}"),
        recordText(R"({"title":"t\ud83d\ude00",)" + rest + todos + "}"),
        recordText("{\"title\":\"t\x01\"," + rest + todos + "}"),
        recordText("{\"title\":\"\xC0\xAF\"," + rest + todos + "}"),
        recordText(R"({"title":"t",)" + rest + R"(,"todos":[{"task":"x","refs":[-0,9223372036854775807]}]})"),
        recordText(R"({"title":"t",)" + rest + R"(,"todos":[{"task":"x","refs":[9223372036854775808]}]})"),
        recordText(R"({"title":"t",)" + rest + todos +
                   R"(,"sections":[{"heading":"h","points":[{"text":"p","refs":[9223372036854775808]}]}]})"),
        recordText(R"({"title":"t","extra":1e400,)" + rest + todos + "}"),
        recordText(R"({"title":"t","extra":)" + deep + "," + rest + todos + "}"),
        "\xEF\xBB\xBF" + ok,
        ok + " x",
        ok.substr(0, ok.size() - 1),
    };
    for (const auto& text : cases) expectDecoderAgrees(text);
    // What the store writes is read back as written.
    const std::string written =
        json::dumpCompact(MinutesRecord::fromJson(json::parse(ok)).toJson());
    EXPECT_EQ(json::dumpCompact(MinutesRecordDecoder().decode(written).toJson()), written);
}

TEST(MinutesDecoding, PointRefsAreTolerant) {
    const std::pair<const char*, std::optional<std::vector<std::int64_t>>> table[] = {
        {R"("bare")", std::nullopt},
        {R"({"text":"x","refs":[1,2]})", std::vector<std::int64_t>{1, 2}},
        {R"({"text":"x","refs":[1,"2"]})", std::nullopt},
        {R"({"text":"x","refs":[1,2.5]})", std::nullopt},
        {R"({"text":"x","refs":7})", std::nullopt},
    };
    for (const auto& [text, refs] : table)
        EXPECT_EQ(MinutesPoint::fromJson(json::parse(text)).refs, refs) << text;
}

TEST(MinutesEncoding, WritesOnlyWhatIsPresent) {
    const auto decoded = MinutesResult::fromJson(json::parse(
        R"({"title":"t","summary":"s","keyPoints":["k"],"decisions":[],"todos":[{"task":"x"}],
            "sections":[{"heading":"h","points":["a",{"text":"b","refs":[3]},{"text":"c","refs":"z"}]}],
            "transcript":[{"speaker":"A","text":"hi"}],"serviceExtra":1,"meta":null})"));
    EXPECT_EQ(
        json::dumpCompact(decoded.toJson()),
        R"({"decisions":[],"keyPoints":["k"],"sections":[{"heading":"h","points":[{"text":"a"},)"
        R"({"refs":[3],"text":"b"},{"text":"c"}]}],"summary":"s","title":"t","todos":[{"task":"x"}],)"
        R"("transcript":[{"speaker":"A","text":"hi"}]})");
    EXPECT_EQ(MinutesResult::fromJson(decoded.toJson()), decoded);
    auto empty = decoded;
    empty.sections = std::vector<MinutesSection>{};
    EXPECT_EQ(empty.toJson()["sections"], json::Value::array());
}

TEST(Transcript, KeepsEachLineAsGiven) {
    const std::vector<TranscriptLine> lines = {
        {"A", "00:01", "one\ntwo"}, {"", std::nullopt, ""}, {"B\n", "", "x"}, {"C", "1:02:03", ""}};
    const Transcript t = lines;
    ASSERT_EQ(t.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(t[i], lines[i]) << i;
    EXPECT_EQ(t.joined(), "A\none\ntwo\n\n\nB\n\nx\nC\n");
    // A copy shares the lines until one of them changes.
    Transcript copy = t;
    EXPECT_EQ(copy, t);
    EXPECT_EQ(std::hash<Transcript>{}(copy), std::hash<Transcript>{}(t));
    copy.push_back({"D", std::nullopt, "y"});
    EXPECT_EQ(t.size(), lines.size());
    EXPECT_NE(copy, t);
    EXPECT_NE(Transcript({{"A", std::nullopt, ""}}), Transcript({{"A", "", ""}}));
}

TEST(ProcessResponse, DecodesEitherPartOrNeither) {
    EXPECT_FALSE(ProcessResponse::fromJson(json::parse("{}")).result);
    EXPECT_EQ(ProcessResponse::fromJson(json::parse(R"({"error":"失敗","result":null})")).error,
              "失敗");
    EXPECT_THROW(ProcessResponse::fromJson(json::parse(R"({"result":{"title":"x"}})")),
                 json::Error);
}

TEST(MinutesRecord, DatesAreWholeSecondsWithAZone) {
    const auto decode = [](const std::string& date) {
        return MinutesRecord::fromJson(json::parse(
            R"({"id":"A","createdAt":")" + date +
            R"(","templateId":"minutes","sourceName":"a.m4a","result":{"title":"t","summary":"",)"
            R"("keyPoints":[],"decisions":[],"todos":[],"transcript":[]}})"));
    };
    for (const char* bad : {"2025-03-07T05:05:00.5Z", "2025-03-07T05:05:00", "1741323900"})
        EXPECT_THROW(decode(bad), json::Error) << bad;
    const auto a = decode("2025-03-07T05:05:00Z");
    const auto b = decode("2025-03-07T14:05:00+09:00");
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<MinutesRecord>{}(a), std::hash<MinutesRecord>{}(b));

    auto fractional = a;
    fractional.createdAt += std::chrono::milliseconds(250);
    EXPECT_EQ(MinutesRecord::fromJson(json::parse(json::dumpCompact(fractional.toJson()))), a);
}

}  // namespace
