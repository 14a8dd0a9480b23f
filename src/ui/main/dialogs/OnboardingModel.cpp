#include "ui/main/dialogs/OnboardingModel.h"

#include "platform/Desktop.h"
#include "service/OAuthLink.h"
#include "util/UserDefaults.h"

namespace {

struct Service {
    const char* name;
    const char* provider;
    const char* key;  // set when connected
};

constexpr Service kServices[] = {
    {"Notion", "notion", "notionToken"},
    {"Slack", "slack", "slackWebhook"},
    {"Discord", "discord", "discordWebhook"},
};

}  // namespace

OnboardingModel::OnboardingModel(UserDefaults& defaults, std::optional<SoundSettings> soundSettings,
                                 QObject* parent)
    : QObject(parent), defaults_(defaults), soundSettings_(std::move(soundSettings)) {
    // The browser's callback writes these keys while the sheet is open.
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        for (const Service& s : kServices) {
            if (key != QLatin1String(s.key)) continue;
            problem_.clear();  // connected after all, or changed: an old word is over
            emit changed();
        }
    });
}

QString OnboardingModel::symbol() const {
    return step_ == 0 ? QStringLiteral("waveform.circle.fill") : QStringLiteral("link.circle.fill");
}

QString OnboardingModel::title() const {
    switch (step_) {
        case 0:
            return QStringLiteral("TAVROへようこそ");
        case 1:
            return QStringLiteral("録音の準備");
    }
    return QStringLiteral("サービス連携");
}

QString OnboardingModel::text() const {
    switch (step_) {
        case 0:
            return QStringLiteral(
                "会議を録音し、要約・決定事項・アクションを自動作成します。\n"
                "最初に必要な設定を一緒に完了しましょう。");
        case 1:
            // No permission is granted on this desktop; what matters is which devices record.
            return QStringLiteral(
                "相手と自分の音声を記録するため、\n"
                "サウンド設定でマイクと出力デバイスを確認してください。");
    }
    return {};
}

QString OnboardingModel::primaryTitle() const {
    return step_ < kLastStep ? QStringLiteral("次へ") : QStringLiteral("セットアップを完了");
}

std::vector<OnboardingModel::Connection> OnboardingModel::connections() const {
    std::vector<Connection> out;
    for (const Service& s : kServices)
        out.push_back({QString::fromLatin1(s.name), s.provider,
                       !defaults_.stringValue(s.key).value_or(std::string()).empty()});
    return out;
}

void OnboardingModel::connectService(const std::string& provider) {
    for (const Connection& c : connections()) {
        if (c.provider != provider || c.connected) continue;
        setProblem(OAuthLink::connect(provider, defaults_) ? QString() : Desktop::noBrowserText());
    }
}

void OnboardingModel::openSoundSettings() {
    if (!soundSettings_) return;
    setProblem(soundSettings_->open() ? QString()
                                      : QStringLiteral("サウンド設定を開けませんでした。"));
}

void OnboardingModel::setProblem(const QString& problem) {
    if (problem == problem_) return;
    problem_ = problem;
    emit changed();
}

void OnboardingModel::next() {
    if (step_ < kLastStep) {
        ++step_;
        problem_.clear();
        emit changed();
        return;
    }
    if (completed_) return;
    completed_ = true;
    emit completed();
}

void OnboardingModel::back() {
    if (step_ == 0) return;
    --step_;
    problem_.clear();
    emit changed();
}
