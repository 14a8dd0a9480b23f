#include <gtest/gtest.h>

#include "model/MinutesRecord.h"
#include "model/ProcessResponse.h"

namespace {

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
    }
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
