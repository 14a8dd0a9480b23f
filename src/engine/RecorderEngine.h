#pragma once
// Records a meeting and turns the recording into minutes: the microphone and, when asked, the
// computer's own audio are recorded, mixed after the stop, sent to the service, stored as a
// record, put on the clipboard and announced; the action items may then go to the local agent
// and the minutes to the configured integrations.
#include <QPointer>
#include <QTimer>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "agents/AgentRun.h"
#include "engine/RecorderControl.h"
#include "engine/ShareTarget.h"
#include "platform/AudioInput.h"
#include "model/MinutesRecord.h"
#include "util/MainThreadHandoff.h"

class AgentRunner;
class MeetingVision;
class MicrophoneRecorder;
class MinutesStore;
class SystemAudioCapture;
class UserDefaults;

class RecorderEngine : public RecorderControl {
    Q_OBJECT
public:
    using Phase = RecorderControl::Phase;
    using AgentRun = ::AgentRun;
    // Times within a recording are monotonic: a change of the wall clock must not move them.
    using Clock = std::chrono::steady_clock;

    // Settings are read from the standard store at the moment of use.
    explicit RecorderEngine(MinutesStore& store, QObject* parent = nullptr);
    RecorderEngine(MinutesStore& store, UserDefaults& defaults, QObject* parent = nullptr);
    ~RecorderEngine() override;

    Phase phase() const override { return phase_; }
    int elapsed() const override { return elapsed_; }
    const std::optional<std::string>& lastError() const { return lastError_; }
    const std::map<std::string, AgentRun>& agentRuns() const;
    // Names read from meeting windows at the last stop; kept until the next stop.
    const std::vector<std::string>& detectedParticipants() const { return detectedParticipants_; }

    void toggle() override;
    void start() override;
    void stop();

    // Sends one audio file to the service and stores the minutes (a recording's stop, or an
    // imported file). Returns at once; the phase is `processing` until the run ends.
    void process(const std::filesystem::path& url, const std::string& sourceName);

    // Hands the record's action items to the local agent.
    void dispatchAgent(const MinutesRecord& record);
    // Sends the minutes to every configured integration, in a task of its own.
    void autoShareAll(const MinutesResult& result, const std::string& templateId);

    // For quitting or SIGTERM during a recording: finishes the open audio files without
    // processing them, so the recording stays in "recordings" and can be imported later.
    void finishForQuit();

    std::string templateId() const;
    std::string agentCmd() const;
    bool detectParticipants() const;
    bool autoAgent() const;
    bool captureSystemAudio() const;
    bool autoShare() const;
    UserDefaults& defaults() const { return defaults_; }

    // The "yyyy-MM-dd_HHmmss" stamp of a recording begun at `t`, in the local time zone.
    static std::string stamp(std::chrono::system_clock::time_point t);
    // The user's vocabulary, one term per line, trimmed of spaces and tabs.
    static std::vector<std::string> vocabularyTerms(const std::string& text);
    // Detected names then the calendar's, without duplicates, in code-point order.
    static std::vector<std::string> mergedParticipants(const std::vector<std::string>& detected,
                                                       const std::vector<std::string>& calendar);

    // Seams for tests: where secrets come from (the keyring by default) and what a recording
    // sounds like when it starts and stops.
    void setSecretReader(SecretReader reader) { readSecret_ = std::move(reader); }
    MeetingVision& meetingVision() { return *meetingVision_; }

signals:
    void lastErrorChanged();
    void agentRunsChanged();

private:
    struct StartCue;

    void begin(std::unique_ptr<MicrophoneRecorder> recorder, Clock::time_point startedAt);
    // Starts capturing the computer's audio beside the microphone file `micURL`; the result tells
    // whether it started. `micOpened` tells whether the microphone did.
    std::shared_future<bool> startSystemCapture(const std::filesystem::path& micURL,
                                                std::future<bool> micOpened);
    // Stops a recording whose files can no longer be written, and says why.
    void writeFailed(std::error_code error);
    // `scratch` is held until the run ends (a file to process that is not kept).
    void process(const std::filesystem::path& url, const std::string& sourceName,
                 std::shared_ptr<const void> scratch);
    void setPhase(Phase phase);
    void setElapsed(int elapsed);
    void setLastError(std::optional<std::string> error);
    void finished(const std::filesystem::path& mic, const std::string& sourceName,
                  std::shared_future<bool> sysStarted, Clock::time_point micStartedAt);
    // One side of the recording lost its stream, and why (`recording` false; again when more
    // is known of why), or the side records again, at `at`. The user hears of an outage once it
    // has lasted kServerStaysAway, and then again when it ends; of a shorter one when it ends.
    enum class Side { microphone, computer };
    void connectionChanged(Side side, bool recording, AudioInput::Loss why, Clock::time_point at);
    // The outage has lasted: says which side stopped and why, unless it came back meanwhile.
    void outageLasted();
    // Ends the count of the current outage, at the stop or when every side is back.
    void endOutage(Clock::time_point at);

    MinutesStore& store_;
    UserDefaults& defaults_;
    MainThreadHandoff handoff_;
    Phase phase_ = Phase::idle;
    int elapsed_ = 0;
    std::optional<std::string> lastError_;
    bool starting_ = false;  // a recorder is being opened off the main thread

    std::unique_ptr<MicrophoneRecorder> recorder_;
    QTimer timer_;
    // Shared with the tasks that start and stop it, which may outlive a recording's fields.
    std::shared_ptr<SystemAudioCapture> sysCapture_;
    std::unique_ptr<MeetingVision> meetingVision_;
    std::unique_ptr<AgentRunner> agents_;
    std::vector<std::string> detectedParticipants_;
    std::optional<std::shared_future<bool>> sysStartTask_;
    // The running recording's, shared with the task that plays it.
    std::shared_ptr<StartCue> startCue_;
    Clock::time_point micStartedAt_;
    SecretReader readSecret_;
    // The sides of the recording without a stream, since when; the current outage (from the
    // first side lost to the last one back), whether the user was told of it, and the time the
    // recording has gone without sound so far, which the finished notice reports.
    std::array<std::optional<Clock::time_point>, 2> lostSince_;
    std::array<AudioInput::Loss, 2> lostWhy_{};
    // Which sides and why, over the whole outage, for what the user is told at its end.
    std::array<std::optional<AudioInput::Loss>, 2> outageWhy_;
    std::optional<Clock::time_point> outageSince_;
    bool outageTold_ = false;
    QTimer outageTimer_;  // a server that stays away this long records nothing: say so
    Clock::duration missing_{};
};
