#include "model/Templates.h"

const std::vector<TemplateInfo>& tavroTemplates() {
    static const std::vector<TemplateInfo> table = {
        {"minutes", "議事録"},         {"sales", "商談メモ"},         {"oneonone", "1on1"},
        {"interview", "インタビュー"}, {"weekly", "週次定例"},        {"kickoff", "キックオフ"},
        {"recruit", "採用面接"},       {"seminar", "研修・セミナー"}, {"callmemo", "電話記録"},
    };
    return table;
}

const std::string* builtInTemplateLabel(const std::string& id) {
    for (const auto& t : tavroTemplates())
        if (t.id == id) return &t.label;
    return nullptr;
}
