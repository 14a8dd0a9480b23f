#include "ui/main/HeaderModel.h"

#include "desktop/ClockText.h"
#include "ui/UiContext.h"
#include "util/UserDefaults.h"

HeaderModel::RecordLook HeaderModel::recordLook(Phase phase, int elapsed) {
    switch (phase) {
        case Phase::idle:
            return {RecordLook::Kind::symbol, {}, true};
        case Phase::recording:
            return {RecordLook::Kind::clock,
                    QStringLiteral("停止 ") + QString::fromStdString(clockText(elapsed)), true};
        case Phase::processing:
            break;
    }
    return {RecordLook::Kind::spinner, {}, false};
}

HeaderModel::AgentLook HeaderModel::agentLook(bool on) {
    if (on) return {true, 1.12, 0, kAgentOnHelp};
    return {false, 1.0, -12, kAgentOffHelp};
}

HeaderModel::HeaderModel(RecorderControl& recorder, UserDefaults& defaults, Dialogs& dialogs,
                         Process process, QObject* parent)
    : QObject(parent),
      recorder_(recorder),
      defaults_(defaults),
      dialogs_(dialogs),
      process_(std::move(process)) {
    connect(&recorder_, &RecorderControl::phaseChanged, this, &HeaderModel::recorderChanged);
    connect(&recorder_, &RecorderControl::elapsedChanged, this, &HeaderModel::recorderChanged);
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kAutoAgentKey)) emit autoAgentChanged();
    });
}

HeaderModel::RecordLook HeaderModel::recordLook() const {
    return recordLook(recorder_.phase(), recorder_.elapsed());
}

bool HeaderModel::importEnabled() const {
    return recorder_.phase() == Phase::idle;
}

bool HeaderModel::autoAgent() const {
    return defaults_.boolOr(kAutoAgentKey, true);
}

HeaderModel::AgentLook HeaderModel::agentLook() const {
    return agentLook(autoAgent());
}

void HeaderModel::toggleRecording() {
    recorder_.toggle();
}

void HeaderModel::toggleAutoAgent() {
    defaults_.set(kAutoAgentKey, !autoAgent());
}

void HeaderModel::importAudio() {
    if (!importEnabled()) return;
    const std::optional<std::string> chosen = dialogs_.openAudioFile();
    if (!chosen || chosen->empty()) return;
    const std::filesystem::path file(*chosen);
    process_(file, file.filename().string());
}
