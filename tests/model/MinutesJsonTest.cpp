#include <gtest/gtest.h>

#include "model/MinutesRecord.h"
#include "model/ProcessResponse.h"

namespace {

// A valid result with one replaceable member, written as JSON text.
std::string resultWith(const std::string& key, const std::string& value) {
    json::Value base = json::parse(R"({"title":"t","summary":"s","keyPoints":[],"decisions":[],
        "todos":[],"transcript":[]})");
    if (value == "<absent>")
        base.erase(key);
    else
        base[key] = json::parse(value);
    return base.dump();
}

struct DecodeCase {
    std::string name;
    std::string json;
    bool ok;
};
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.json;
}

class ResultDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ResultDecoding, AcceptsOrFailsWhole) {
    const auto& c = GetParam();
    const auto v = json::parse(c.json);
    if (c.ok)
        EXPECT_NO_THROW(MinutesResult::fromJson(v)) << c.json;
    else
        EXPECT_THROW(MinutesResult::fromJson(v), json::Error) << c.json;
}

std::vector<DecodeCase> decodeCases() {
    std::vector<DecodeCase> c;
    for (const char* key : {"title", "summary", "keyPoints", "decisions", "todos", "transcript"}) {
        c.push_back({std::string("Missing_") + key, resultWith(key, "<absent>"), false});
        c.push_back({std::string("Null_") + key, resultWith(key, "null"), false});
    }
    c.push_back({"MetaNull", resultWith("meta", "null"), true});
    c.push_back({"SectionsNull", resultWith("sections", "null"), true});
    c.push_back({"TitleNumber", resultWith("title", "1"), false});
    c.push_back({"KeyPointNumber", resultWith("keyPoints", R"(["a", 2])"), false});
    c.push_back({"TodoOnlyTask", resultWith("todos", R"([{"task":"x"}])"), true});
    c.push_back({"TodoAutoString", resultWith("todos", R"([{"task":"x","auto":"true"}])"), false});
    c.push_back({"TodoRefsString", resultWith("todos", R"([{"task":"x","refs":["1"]}])"), false});
    c.push_back({"TodoRefsFraction", resultWith("todos", R"([{"task":"x","refs":[1.5]}])"), false});
    c.push_back({"TodoNullFields",
                 resultWith("todos", R"([{"task":"x","assignee":null,"due":null,"auto":null}])"),
                 true});
    c.push_back({"TodoWithoutTask", resultWith("todos", R"([{"assignee":"x"}])"), false});
    c.push_back({"PointsMixed",
                 resultWith("sections", R"([{"heading":"h","points":["a",{"text":"b"}]}])"), true});
    c.push_back({"PointRefsString",
                 resultWith("sections", R"([{"heading":"h","points":[{"text":"b","refs":"1"}]}])"),
                 true});
    c.push_back({"PointWithoutText",
                 resultWith("sections", R"([{"heading":"h","points":[{"refs":[1]}]}])"), false});
    c.push_back(
        {"PointNumber", resultWith("sections", R"([{"heading":"h","points":[3]}])"), false});
    c.push_back(
        {"PointNull", resultWith("sections", R"([{"heading":"h","points":[null]}])"), false});
    c.push_back({"SectionWithoutPoints", resultWith("sections", R"([{"heading":"h"}])"), false});
    c.push_back({"LineWithoutText", resultWith("transcript", R"([{"speaker":"a"}])"), false});
    c.push_back({"AttendeesNumber", resultWith("meta", R"({"attendees":[1]})"), false});
    c.push_back({"UnknownKeys", resultWith("extra", R"({"anything":[1,2]})"), true});
    return c;
}

INSTANTIATE_TEST_SUITE_P(Matrix, ResultDecoding, ::testing::ValuesIn(decodeCases()),
                         [](const auto& info) { return info.param.name; });

TEST(PointDecoding, RefsAreTolerant) {
    const std::pair<const char*, std::optional<std::vector<std::int64_t>>> table[] = {
        {R"("bare")", std::nullopt},
        {R"({"text":"x","refs":[1,2]})", std::vector<std::int64_t>{1, 2}},
        {R"({"text":"x","refs":"1"})", std::nullopt},
        {R"({"text":"x","refs":[1,"2"]})", std::nullopt},
        {R"({"text":"x","refs":[1,2.5]})", std::nullopt},
        {R"({"text":"x","refs":7})", std::nullopt},
        {R"({"text":"x","refs":null})", std::nullopt},
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
    // Round trip gives the same value.
    EXPECT_EQ(MinutesResult::fromJson(decoded.toJson()), decoded);

    auto empty = decoded;
    empty.sections = std::vector<MinutesSection>{};
    EXPECT_EQ(empty.toJson()["sections"], json::Value::array());
    empty.sections.reset();
    EXPECT_FALSE(empty.toJson().contains("sections"));
}

TEST(ProcessResponse, DecodesEitherPartOrNeither) {
    auto none = ProcessResponse::fromJson(json::parse("{}"));
    EXPECT_FALSE(none.result);
    EXPECT_FALSE(none.error);
    auto err = ProcessResponse::fromJson(json::parse(R"({"error":"失敗","result":null})"));
    EXPECT_EQ(err.error, "失敗");
    EXPECT_THROW(ProcessResponse::fromJson(json::parse(R"({"result":{"title":"x"}})")),
                 json::Error);
    EXPECT_THROW(ProcessResponse::fromJson(json::parse("[]")), json::Error);
}

TEST(MinutesRecord, DatesAreWholeSecondsWithAZone) {
    const std::string body =
        R"(,"templateId":"minutes","sourceName":"a.m4a","result":{"title":"t","summary":"",)"
        R"("keyPoints":[],"decisions":[],"todos":[],"transcript":[]}})";
    const std::pair<const char*, bool> table[] = {
        {"2025-03-07T05:05:00Z", true},
        {"2025-03-07T14:05:00+09:00", true},
        {"2025-03-07T05:05:00.5Z", false},
        {"2025-03-07T05:05:00", false},
        {"1741323900", false},
    };
    for (const auto& [date, ok] : table) {
        const std::string text = std::string(R"({"id":"A","createdAt":")") + date + "\"" + body;
        if (ok)
            EXPECT_NO_THROW(MinutesRecord::fromJson(json::parse(text))) << date;
        else
            EXPECT_THROW(MinutesRecord::fromJson(json::parse(text)), json::Error) << date;
    }

    const auto a = MinutesRecord::fromJson(
        json::parse(std::string(R"({"id":"A","createdAt":"2025-03-07T05:05:00Z")") + body));
    const auto b = MinutesRecord::fromJson(
        json::parse(std::string(R"({"id":"A","createdAt":"2025-03-07T14:05:00+09:00")") + body));
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<MinutesRecord>{}(a), std::hash<MinutesRecord>{}(b));

    auto fractional = a;
    fractional.createdAt += std::chrono::milliseconds(250);
    const auto reread =
        MinutesRecord::fromJson(json::parse(json::dumpCompact(fractional.toJson())));
    EXPECT_NE(reread, fractional);
    EXPECT_EQ(reread, a);
}

}  // namespace
