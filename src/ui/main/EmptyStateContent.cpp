#include "ui/main/EmptyStateContent.h"

#include "desktop/ClockText.h"

EmptyStateContent EmptyStateContent::forState(RecorderControl::Phase phase, int elapsed,
                                              const std::optional<std::string>& lastError) {
    using Phase = RecorderControl::Phase;
    switch (phase) {
        case Phase::processing:
            return {Kind::processing, QStringLiteral("AIが議事録を作成中…"), {}, std::nullopt};
        case Phase::recording:
            return {Kind::recording,
                    QStringLiteral("録音中 ") + QString::fromStdString(clockText(elapsed)),
                    QStringLiteral("停止すると自動で議事録を作成します"), std::nullopt};
        case Phase::idle:
            break;
    }
    std::optional<QString> error;
    if (lastError) error = QString::fromStdString(*lastError);
    return {Kind::idle, {}, QStringLiteral("記録を選択するか、新しく録音してください"), error};
}
