#include <gtest/gtest.h>

#include <functional>

#include "model/Markdown.h"

namespace {

TEST(Markdown, WorkedExampleByteForByte) {
    MinutesResult r;
    r.title = "定例会議";
    r.meta = MinutesMeta{"2025-03-07", std::nullopt, std::vector<std::string>{"田中", "佐藤"}};
    r.summary = "進捗を確認した。";
    r.todos = {TodoItem{"資料作成", "田中", "3/14", std::nullopt, true}};
    r.keyPoints = {"予算は承認済み"};
    r.transcript = {TranscriptLine{"田中", "00:01", "始めます"}};
    EXPECT_EQ(
        toMarkdown(r, "議事録"),
        "# 定例会議\n\n> 日付: 2025-03-07\n> 出席者: 田中、佐藤\n> テンプレート: 議事録\n\n"
        "進捗を確認した。\n\n## アクションアイテム\n\n- [ ] 資料作成 (担当: 田中) (期限: 3/14)\n\n"
        "## 重要ポイント\n\n- 予算は承認済み\n\n## 全文文字起こし\n\n**田中** (00:01): 始めます\n");
}

TEST(Markdown, OptionalPartsAndFallbacks) {
    const std::string head = "# T\n\n> テンプレート: L\n";
    const std::pair<std::function<void(MinutesResult&)>, std::string> cases[] = {
        {[](MinutesResult&) {}, head},
        {[](MinutesResult& r) {
             r.meta = MinutesMeta{std::nullopt, "", std::vector<std::string>{}};
         },
         head},
        {[](MinutesResult& r) {
             r.todos = {TodoItem{"", "", "明日", std::vector<std::int64_t>{1}, false},
                        TodoItem{"x", "佐藤", std::nullopt, std::nullopt, std::nullopt}};
         },
         head + "\n## アクションアイテム\n\n- [ ]  (期限: 明日)\n- [ ] x (担当: 佐藤)\n"},
        // Empty sections fall back to key points and decisions; any section replaces them.
        {[](MinutesResult& r) {
             r.sections = std::vector<MinutesSection>{};
             r.keyPoints = {"k"};
             r.decisions = {"d"};
         },
         head + "\n## 重要ポイント\n\n- k\n\n## 決定事項\n\n- d\n"},
        {[](MinutesResult& r) {
             r.sections = std::vector<MinutesSection>{
                 {"議題", {MinutesPoint{"p", std::vector<std::int64_t>{2}}}}, {"空", {}}};
             r.keyPoints = {"k"};
         },
         head + "\n## 議題\n\n- p\n\n## 空\n\n"},
        {[](MinutesResult& r) {
             r.summary = "一行目\n二行目";
             r.transcript = {{"A", "", "x"}, {"B", std::nullopt, "y"}};
         },
         head + "\n一行目\n二行目\n\n## 全文文字起こし\n\n**A**: x\n**B**: y\n"},
        {[](MinutesResult& r) {
             r.meta = MinutesMeta{std::nullopt, "会議室A", std::vector<std::string>{""}};
         },
         "# T\n\n> 場所: 会議室A\n> 出席者: \n> テンプレート: L\n"},
    };
    for (const auto& [set, expected] : cases) {
        MinutesResult r;
        r.title = "T";
        set(r);
        EXPECT_EQ(toMarkdown(r, "L"), expected);
    }
}

}  // namespace
