#include <gtest/gtest.h>

#include "model/Markdown.h"

namespace {

MinutesResult bare(const std::string& title) {
    MinutesResult r;
    r.title = title;
    return r;
}

TEST(Markdown, WorkedExampleByteForByte) {
    MinutesResult r = bare("定例会議");
    r.meta = MinutesMeta{"2025-03-07", std::nullopt, std::vector<std::string>{"田中", "佐藤"}};
    r.summary = "進捗を確認した。";
    r.todos = {TodoItem{"資料作成", "田中", "3/14", std::nullopt, true}};
    r.keyPoints = {"予算は承認済み"};
    r.transcript = {TranscriptLine{"田中", "00:01", "始めます"}};

    const std::string expected =
        "# 定例会議\n"
        "\n"
        "> 日付: 2025-03-07\n"
        "> 出席者: 田中、佐藤\n"
        "> テンプレート: 議事録\n"
        "\n"
        "進捗を確認した。\n"
        "\n"
        "## アクションアイテム\n"
        "\n"
        "- [ ] 資料作成 (担当: 田中) (期限: 3/14)\n"
        "\n"
        "## 重要ポイント\n"
        "\n"
        "- 予算は承認済み\n"
        "\n"
        "## 全文文字起こし\n"
        "\n"
        "**田中** (00:01): 始めます\n";
    EXPECT_EQ(toMarkdown(r, "議事録"), expected);
}

struct Case {
    const char* name;
    MinutesResult result;
    std::string expected;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class MarkdownCases : public ::testing::TestWithParam<Case> {};

TEST_P(MarkdownCases, Renders) {
    EXPECT_EQ(toMarkdown(GetParam().result, "L"), GetParam().expected);
}

std::vector<Case> cases() {
    std::vector<Case> c;
    c.push_back({"Minimal", bare("T"), "# T\n\n> テンプレート: L\n"});

    auto emptyMeta = bare("T");
    emptyMeta.meta = MinutesMeta{std::nullopt, "", std::vector<std::string>{}};
    c.push_back({"MetaWithNothingUsable", emptyMeta, "# T\n\n> テンプレート: L\n"});

    auto todos = bare("T");
    todos.todos = {TodoItem{"", "", "明日", std::vector<std::int64_t>{1}, false},
                   TodoItem{"x", "佐藤", std::nullopt, std::nullopt, std::nullopt}};
    c.push_back({"TodoSuffixes", todos,
                 "# T\n\n> テンプレート: L\n\n## アクションアイテム\n\n- [ ]  (期限: 明日)\n"
                 "- [ ] x (担当: 佐藤)\n"});

    auto emptySections = bare("T");
    emptySections.sections = std::vector<MinutesSection>{};
    emptySections.keyPoints = {"k"};
    emptySections.decisions = {"d"};
    c.push_back({"EmptySectionsFallBack", emptySections,
                 "# T\n\n> テンプレート: L\n\n## 重要ポイント\n\n- k\n\n## 決定事項\n\n- d\n"});

    auto sections = emptySections;
    sections.sections = std::vector<MinutesSection>{
        MinutesSection{"議題", {MinutesPoint{"p", std::vector<std::int64_t>{2}}}},
        MinutesSection{"空", {}}};
    c.push_back({"SectionsReplaceKeyPointsAndDecisions", sections,
                 "# T\n\n> テンプレート: L\n\n## 議題\n\n- p\n\n## 空\n\n"});

    auto transcript = bare("T");
    transcript.summary = "一行目\n二行目";
    transcript.transcript = {TranscriptLine{"A", "", "x"}, TranscriptLine{"B", std::nullopt, "y"}};
    c.push_back({"MultiLineSummaryAndTimelessLines", transcript,
                 "# T\n\n> テンプレート: L\n\n一行目\n二行目\n\n## 全文文字起こし\n\n**A**: x\n"
                 "**B**: y\n"});

    auto location = bare("T");
    location.meta = MinutesMeta{std::nullopt, "会議室A", std::vector<std::string>{""}};
    c.push_back({"LocationAndBlankAttendee", location,
                 "# T\n\n> 場所: 会議室A\n> 出席者: \n> テンプレート: L\n"});
    return c;
}

INSTANTIATE_TEST_SUITE_P(All, MarkdownCases, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
