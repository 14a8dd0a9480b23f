#include "agents/AgentPrompt.h"

#include <string_view>

#include "util/Text.h"

namespace agentprompt {

namespace {

// clang-format off
constexpr std::string_view kIntroduction =
    "あなたは会議後の自律作業エージェントです。以下の「AIが担当するタスク」を、このパソコン上で実際のファイルを作成して実行し、成果物をカレントディレクトリ(.)に保存してください。\n"
    "\n"
    "AIが担当するタスク:\n";

constexpr std::string_view kRules =
    "\n"
    "\n"
    "【最重要】成果物のファイル形式は md 固定にしないこと。会議・議事録の文脈から「中身に最適な形式」を自分で判断し、基本は Word / Excel / PowerPoint のいずれかで作る:\n"
    "- Word(.docx): 報告書・議事録の清書・提案書・案内文・メール文面など、文章が主体の文書\n"
    "- Excel(.xlsx): タスク一覧・スケジュール・見積/予算・数値比較・名簿・チェックリストなど、表や数値が主体\n"
    "- PowerPoint(.pptx): 説明資料・共有スライド・提案プレゼンなど、発表・視覚が主体\n"
    "- Markdown(.md): 上記のどれにも当てはまらない短いメモ・下書きのときだけ\n"
    "タスクごとに最適な形式を選ぶ。1タスクに複数形式が必要なら複数作ってよい。\n"
    "\n"
    "office形式の生成方法:\n"
    "- python3 を使う。ライブラリは python-docx / openpyxl / python-pptx(このパソコンは導入済みの想定。もし import に失敗したら先に `python3 -m pip install --user python-docx openpyxl python-pptx` を実行)。\n"
    "- 短い Python スクリプトを書いて実行し、.docx/.xlsx/.pptx を生成する(Bashツールでpython3を実行)。\n"
    "- ファイル名は内容が一目で分かる名前(日本語可) + 正しい拡張子(例:「議事録_2026-07-20.docx」「アクション一覧.xlsx」「キックオフ提案.pptx」)。\n"
    "- 体裁を整える: Wordは見出し/箇条書き、Excelはヘッダ行+適切な列幅、PPTXはタイトル+本文の複数スライド。\n"
    "\n"
    "ルール:\n"
    "- 外部への送信・連絡・購入・削除は行わない。必要なら下書きファイルを作るだけにする。\n"
    "- 人にしかできないTODO(対面・物理作業・第三者への連絡など)はスキップし、その旨を記録する。\n"
    "- 最後に REPORT.md を作成し、各タスクについて「選んだ形式と理由 / 生成したファイル名 / 実施した・下書きを作った・スキップした(理由)」を一覧にする。\n"
    "\n"
    "--- 議事録(全文) ---\n";
// clang-format on

constexpr std::string_view kNoMarkedTasks = "(議事録から自分で判断してください)";

}  // namespace

std::string taskList(const MinutesResult& result) {
    std::string list;
    for (const auto& todo : result.todos) {
        if (todo.auto_ != true) continue;
        if (!list.empty()) list += '\n';
        // A line break in a title from the service must not start a list entry of its own.
        list += "- " + text::replaceControls(todo.task, " ");
    }
    return list.empty() ? std::string(kNoMarkedTasks) : list;
}

std::string instructions(const MinutesResult& result, const std::string& markdown) {
    std::string text(kIntroduction);
    text += taskList(result);
    text += kRules;
    text += markdown;
    return text;
}

std::string commandLine(const std::string& agentCmd) {
    if (agentCmd == "codex") return "codex exec --full-auto - < prompt.md > agent.log 2>&1";
    return "claude -p --permission-mode acceptEdits --allowedTools \"Read Write Edit Glob Grep "
           "Bash "
           "WebSearch WebFetch\" < prompt.md > agent.log 2>&1";
}

std::string toolName(const std::string& agentCmd) {
    return agentCmd == "codex" ? "Codex" : "Claude Code";
}

}  // namespace agentprompt
