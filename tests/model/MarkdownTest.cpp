#include <gtest/gtest.h>

#include "model/Markdown.h"

// Each case names only the parts of the minutes it sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

TEST(Markdown, WorkedExampleByteForByte) {
    const MinutesResult r{
        .title = "定例会議",
        .meta = MinutesMeta{"2025-03-07", std::nullopt, std::vector<std::string>{"田中", "佐藤"}},
        .summary = "進捗を確認した。",
        .keyPoints = {"予算は承認済み"},
        .todos = {TodoItem{"資料作成", "田中", "3/14", std::nullopt, true}},
        .transcript = {TranscriptLine{"田中", "00:01", "始めます"}}};
    EXPECT_EQ(
        toMarkdown(r, "議事録"),
        "# 定例会議\n\n> 日付: 2025-03-07\n> 出席者: 田中、佐藤\n> テンプレート: 議事録\n\n"
        "進捗を確認した。\n\n## アクションアイテム\n\n- [ ] 資料作成 (担当: 田中) (期限: 3/14)\n\n"
        "## 重要ポイント\n\n- 予算は承認済み\n\n## 全文文字起こし\n\n**田中** (00:01): 始めます\n");
}

TEST(Markdown, OptionalPartsAndFallbacks) {
    const std::string head = "# T\n\n> テンプレート: L\n";
    const std::pair<MinutesResult, std::string> cases[] = {
        {{.title = "T"}, head},
        {{.title = "T", .meta = MinutesMeta{std::nullopt, "", std::vector<std::string>{}}}, head},
        {{.title = "T",
          .todos = {TodoItem{"", "", "明日", std::vector<std::int64_t>{1}, false},
                    TodoItem{"x", "佐藤", std::nullopt, std::nullopt, std::nullopt}}},
         head + "\n## アクションアイテム\n\n- [ ]  (期限: 明日)\n- [ ] x (担当: 佐藤)\n"},
        // Empty sections fall back to key points and decisions; any section replaces them.
        {{.title = "T",
          .keyPoints = {"k"},
          .decisions = {"d"},
          .sections = std::vector<MinutesSection>{}},
         head + "\n## 重要ポイント\n\n- k\n\n## 決定事項\n\n- d\n"},
        {{.title = "T",
          .keyPoints = {"k"},
          .sections =
              std::vector<MinutesSection>{
                  {"議題", {MinutesPoint{"p", std::vector<std::int64_t>{2}}}}, {"空", {}}}},
         head + "\n## 議題\n\n- p\n\n## 空\n\n"},
        {{.title = "T",
          .summary = "一行目\n二行目",
          .transcript = {{"A", "", "x"}, {"B", std::nullopt, "y"}}},
         head + "\n一行目\n二行目\n\n## 全文文字起こし\n\n**A**: x\n**B**: y\n"},
        {{.title = "T", .meta = MinutesMeta{std::nullopt, "会議室A", std::vector<std::string>{""}}},
         "# T\n\n> 場所: 会議室A\n> 出席者: \n> テンプレート: L\n"},
        // Empty names keep their separators, wherever they stand.
        {{.title = "T",
          .meta = MinutesMeta{std::nullopt, std::nullopt,
                              std::vector<std::string>{"", "", "田中", "", "佐藤"}}},
         "# T\n\n> 出席者: 、、田中、、佐藤\n> テンプレート: L\n"},
        {{.title = "T",
          .meta = MinutesMeta{std::nullopt, std::nullopt, std::vector<std::string>{"", ""}}},
         "# T\n\n> 出席者: 、\n> テンプレート: L\n"},
    };
    for (const auto& [r, expected] : cases) EXPECT_EQ(toMarkdown(r, "L"), expected);
}

}  // namespace
