#include "desktop/MenuModel.h"

#include "desktop/ClockText.h"

namespace {

MenuItem action(std::string label, MenuItem::Action act, std::string shortcut = {},
                bool enabled = true) {
    return {MenuItem::Kind::action, std::move(label), std::move(shortcut), enabled, act};
}

MenuItem separator() {
    return {MenuItem::Kind::separator, {}, {}, true, MenuItem::Action::none};
}

}  // namespace

std::vector<MenuItem> menuItems(RecorderControl::Phase phase, int elapsed,
                                const std::optional<std::string>& availableVersion) {
    using A = MenuItem::Action;
    std::vector<MenuItem> items;
    if (availableVersion) {
        // U+2B07 with U+FE0E, the text (not emoji) form of the arrow.
        items.push_back(
            action("\u2B07\uFE0E アップデート (v" + *availableVersion + ") をダウンロード…",
                   A::openDownload));
        items.push_back(separator());
    }
    switch (phase) {
        case RecorderControl::Phase::idle:
            items.push_back(action("録音を開始", A::toggleRecording));
            break;
        case RecorderControl::Phase::recording:
            items.push_back(action("録音を停止して議事録作成 (" + clockText(elapsed) + ")",
                                   A::toggleRecording));
            break;
        case RecorderControl::Phase::processing:
            items.push_back(action("AIが議事録を作成中…", A::none, {}, false));
            break;
    }
    items.push_back(separator());
    items.push_back(action("TAVROを開く", A::openMainWindow, "Ctrl+O"));
    items.push_back(action("設定…", A::openSettings, "Ctrl+,"));
    items.push_back(separator());
    items.push_back(action("TAVROを終了", A::quit, "Ctrl+Q"));
    return items;
}

std::string menuBarSymbol(RecorderControl::Phase phase) {
    switch (phase) {
        case RecorderControl::Phase::idle:
            return "waveform";
        case RecorderControl::Phase::recording:
            return "record.circle.fill";
        case RecorderControl::Phase::processing:
            return "hourglass";
    }
    return "waveform";
}
