#include "ui/main/sidebar/RecordColorChoice.h"

#include <algorithm>

double RecordColorChoice::tintOpacity(const std::array<double, 3>& rgb) {
    const double luma = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
    return std::clamp(0.42 - 0.28 * luma, 0.16, 0.40);
}

const std::vector<RecordColorChoice>& RecordColorChoice::palette() {
    static const std::vector<RecordColorChoice> colors = {
        {"red", "レッド", {0.91, 0.26, 0.21}},      {"pink", "ピンク", {0.93, 0.31, 0.55}},
        {"orange", "オレンジ", {0.96, 0.55, 0.15}}, {"yellow", "イエロー", {0.95, 0.77, 0.14}},
        {"lime", "ライム", {0.61, 0.79, 0.20}},     {"green", "グリーン", {0.24, 0.70, 0.36}},
        {"teal", "ティール", {0.11, 0.68, 0.63}},   {"cyan", "シアン", {0.18, 0.71, 0.90}},
        {"blue", "ブルー", {0.20, 0.47, 0.94}},     {"indigo", "インディゴ", {0.35, 0.34, 0.84}},
        {"purple", "パープル", {0.61, 0.35, 0.85}}, {"brown", "ブラウン", {0.60, 0.44, 0.32}},
        {"gray", "グレー", {0.55, 0.57, 0.60}},
    };
    return colors;
}

const RecordColorChoice* RecordColorChoice::find(std::string_view id) {
    for (const RecordColorChoice& c : palette())
        if (c.id == id) return &c;
    return nullptr;
}
