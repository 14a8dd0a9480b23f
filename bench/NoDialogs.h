#pragma once
// The benchmarks' dialogs: every question is declined at once, so no window ever waits.
#include <optional>
#include <string>

#include "ui/UiContext.h"

class NoDialogs : public Dialogs {
public:
    bool confirm(const QString&, const QString&, const QString&) override { return false; }
    std::optional<std::string> openAudioFile() override { return std::nullopt; }
    std::optional<std::string> openDocumentFile() override { return std::nullopt; }
};
