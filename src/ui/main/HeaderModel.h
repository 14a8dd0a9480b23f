#pragma once
// What the main window's header shows and does: the record button's look for the recorder's
// phase and clock, the import of an audio file, and the agent autonomy switch.
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/RecorderControl.h"

class Dialogs;
class UserDefaults;

class HeaderModel : public QObject {
    Q_OBJECT
public:
    using Phase = RecorderControl::Phase;
    // Turns an audio file into minutes (the engine's process()).
    using Process =
        std::function<void(const std::filesystem::path& file, const std::string& sourceName)>;

    static constexpr const char* kAutoAgentKey = "autoAgent";
    static inline const QString kAskAcrossHelp = QStringLiteral("すべての議事録を横断してAIに聞く");
    static inline const QString kAgentOnHelp =
        QStringLiteral("AIエージェント自律稼働: ON（議事録のTODOを自動で着手します）");
    static inline const QString kAgentOffHelp =
        QStringLiteral("AIエージェント自律稼働: OFF（クリックで有効化）");
    static inline const QString kRecordHelp =
        QStringLiteral("録音を開始/停止 (修飾キー2回押しでも操作可)");
    static inline const QString kImportHelp = QStringLiteral("音声ファイルから議事録を作成");
    static inline const QString kSettingsHelp = QStringLiteral("設定");

    struct RecordLook {
        enum class Kind { symbol, clock, spinner };
        Kind kind = Kind::symbol;
        QString text;  // "停止 m:ss" for the clock, else empty
        bool enabled = true;
        bool operator==(const RecordLook&) const = default;
    };
    static RecordLook recordLook(Phase phase, int elapsed);

    // How the autonomy switch is drawn.
    struct AgentLook {
        bool on = true;
        qreal scale = 1.12;
        qreal rotationDegrees = 0;
        QString help;
        bool operator==(const AgentLook&) const = default;
    };
    static AgentLook agentLook(bool on);

    HeaderModel(RecorderControl& recorder, UserDefaults& defaults, Dialogs& dialogs,
                Process process, QObject* parent = nullptr);

    RecordLook recordLook() const;
    bool importEnabled() const;
    bool autoAgent() const;
    AgentLook agentLook() const;

    void toggleRecording();
    void toggleAutoAgent();
    // Asks for an audio file and hands it to the engine; a cancelled question starts nothing.
    void importAudio();

signals:
    // The phase or the clock moved: the record and import buttons follow.
    void recorderChanged();
    void autoAgentChanged();

private:
    RecorderControl& recorder_;
    UserDefaults& defaults_;
    Dialogs& dialogs_;
    Process process_;
};
