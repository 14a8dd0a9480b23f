#include "model/Markdown.h"

namespace {

bool nonEmpty(const std::optional<std::string>& s) {
    return s && !s->empty();
}

}  // namespace

std::string toMarkdown(const MinutesResult& r, const std::string& templateLabel) {
    std::string out;
    out.reserve(256 + r.summary.size() + r.transcript.size() * 64);
    // Lines are joined with "\n". Each line is written with a trailing "\n" and the one after
    // the final (always empty) line is dropped at the end.
    auto line = [&out](std::string_view a = {}, std::string_view b = {}) {
        out.append(a);
        out.append(b);
        out.push_back('\n');
    };

    line("# ", r.title);
    line();

    if (r.meta) {
        if (nonEmpty(r.meta->date)) line("> 日付: ", *r.meta->date);
        if (nonEmpty(r.meta->location)) line("> 場所: ", *r.meta->location);
        if (r.meta->attendees && !r.meta->attendees->empty()) {
            // Names are joined as they are: an empty name still gets its separators.
            std::string joined;
            for (const auto& a : *r.meta->attendees) {
                if (&a != &r.meta->attendees->front()) joined += "、";
                joined += a;
            }
            line("> 出席者: ", joined);
        }
    }
    line("> テンプレート: ", templateLabel);
    line();

    if (!r.summary.empty()) {
        line(r.summary);
        line();
    }

    if (!r.todos.empty()) {
        line("## アクションアイテム");
        line();
        for (const auto& t : r.todos) {
            std::string item = "- [ ] " + t.task;
            if (nonEmpty(t.assignee)) item += " (担当: " + *t.assignee + ")";
            if (nonEmpty(t.due)) item += " (期限: " + *t.due + ")";
            line(item);
        }
        line();
    }

    auto bullets = [&](const char* heading, const std::vector<std::string>& items) {
        if (items.empty()) return;
        line(heading);
        line();
        for (const auto& i : items) line("- ", i);
        line();
    };

    if (r.sections && !r.sections->empty()) {
        for (const auto& s : *r.sections) {
            line("## ", s.heading);
            line();
            for (const auto& p : s.points) line("- ", p.text);
            line();
        }
    } else {
        bullets("## 重要ポイント", r.keyPoints);
        bullets("## 決定事項", r.decisions);
    }

    if (!r.transcript.empty()) {
        line("## 全文文字起こし");
        line();
        for (const auto& t : r.transcript) {
            std::string l = "**" + t.speaker + "**";
            if (nonEmpty(t.time)) l += " (" + *t.time + ")";
            l += ": " + t.text;
            line(l);
        }
        line();
    }
    out.pop_back();
    return out;
}
