#include "engine/RecorderEngine.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <mutex>
#include <system_error>
#include <thread>

#include "agents/AgentRunner.h"
#include "engine/MeetingVision.h"
#include "engine/MicrophoneRecorder.h"
#include "engine/SystemAudioCapture.h"
#include "library/CustomTemplateStore.h"
#include "library/MinutesStore.h"
#include "model/Markdown.h"
#include "platform/AudioFileReader.h"
#include "platform/Clipboard.h"
#include "platform/Notifier.h"
#include "platform/SystemSound.h"
#include "service/SecureStore.h"
#include "service/ServiceCall.h"
#include "service/TavroAPI.h"
#include "util/IsoDate.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCalendarParticipantsKey = "calendarMeetingParticipants";
// The start cue waits for this much of the computer's audio, and this long at most.
constexpr std::chrono::milliseconds kCaptureBeforeCue{100};
constexpr std::chrono::milliseconds kCueWaitsForCapture{500};
// A sound server that is not back this long after it went away (a restart takes a second or
// two, and a sink that starts idle may give nothing for two more) is taken to stay away: the
// user hears that nothing is being recorded.
constexpr std::chrono::seconds kServerStaysAway{8};

// Whole seconds, at least one, for the user.
std::string roughSeconds(std::chrono::steady_clock::duration d) {
    return std::to_string(std::max<long>(1, std::lround(std::chrono::duration<double>(d).count())));
}

using Loss = AudioInput::Loss;

const char* sideName(bool microphone) {
    return microphone ? "マイク" : "システム音声";
}

// Why a side has no sound, in a sentence for the user.
std::string lossText(bool microphone, Loss why) {
    switch (why) {
        case Loss::server:
            return "サウンドサーバーに接続できません。";
        case Loss::device:
            return microphone ? "マイクが見つかりません。" : "音声の出力先が見つかりません。";
        case Loss::stream:
            return std::string(sideName(microphone)) + "の録音がサウンドサーバー側で止められました。";
        case Loss::delivery:
            return std::string(sideName(microphone)) + "の音声を取り込めませんでした。";
    }
    return {};
}

// What a processing run hands back to the main thread.
struct Stored {
    MinutesRecord record;
    std::string saveError;
    bool noAudio = false;  // nothing was sent
};

// A private folder (mode 0700) in the system's temporary area, removed with what it holds when
// the last holder lets go.
class ScratchFolder {
public:
    static std::shared_ptr<const ScratchFolder> make() {
        std::error_code ec;
        std::string pattern = (fs::temp_directory_path(ec) / "tavro-XXXXXX").string();
        if (ec || !mkdtemp(pattern.data())) return nullptr;
        return std::shared_ptr<const ScratchFolder>(new ScratchFolder(pattern));
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    explicit ScratchFolder(fs::path path) : path_(std::move(path)) {}
    fs::path path_;
};

std::vector<std::string> storedStrings(const UserDefaults& defaults, const char* key) {
    std::vector<std::string> out;
    if (const auto array = defaults.arrayValue(key))
        for (const auto& v : *array)
            if (const auto* s = v.get<std::string>()) out.push_back(*s);
    return out;
}

bool hasAutomaticItem(const MinutesResult& result) {
    return std::any_of(result.todos.begin(), result.todos.end(),
                       [](const TodoItem& t) { return t.auto_.value_or(false); });
}

}  // namespace

RecorderEngine::RecorderEngine(MinutesStore& store, QObject* parent)
    : RecorderEngine(store, UserDefaults::standard(), parent) {}

RecorderEngine::RecorderEngine(MinutesStore& store, UserDefaults& defaults, QObject* parent)
    : RecorderControl(parent),
      store_(store),
      defaults_(defaults),
      handoff_(this),
      sysCapture_(std::make_shared<SystemAudioCapture>()),
      meetingVision_(std::make_unique<MeetingVision>()),
      agents_(std::make_unique<AgentRunner>(store.agentDir(), defaults)),
      micStartedAt_(Clock::now()),
      readSecret_([](const std::string& account) { return SecureStore::read(account); }) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] { setElapsed(elapsed_ + 1); });
    connect(agents_.get(), &AgentRunner::agentRunsChanged, this, &RecorderEngine::agentRunsChanged);
    outageTimer_.setSingleShot(true);
    outageTimer_.setInterval(std::chrono::milliseconds(kServerStaysAway));
    connect(&outageTimer_, &QTimer::timeout, this, &RecorderEngine::outageLasted);
    sysCapture_->setConnectionWatch(
        [self = this, handoff = handoff_.handle()](bool recording, Loss why) {
            const auto at = Clock::now();
            handoff.post([self, recording, why, at] {
                self->connectionChanged(Side::computer, recording, why, at);
            });
        });
}

RecorderEngine::~RecorderEngine() {
    // Before any member goes: a task finishing now must not reach a half-destroyed engine.
    handoff_.close();
}

const std::map<std::string, RecorderEngine::AgentRun>& RecorderEngine::agentRuns() const {
    return agents_->agentRuns();
}

// --- settings, read at the moment of use ---

std::string RecorderEngine::templateId() const {
    return defaults_.stringValue("templateId").value_or("minutes");
}
std::string RecorderEngine::agentCmd() const {
    return defaults_.stringValue("agentCmd").value_or("claude");
}
bool RecorderEngine::detectParticipants() const {
    return defaults_.boolOr("detectParticipants", true);
}
bool RecorderEngine::autoAgent() const {
    return defaults_.boolOr("autoAgent", true);
}
bool RecorderEngine::captureSystemAudio() const {
    return defaults_.boolOr("captureSystemAudio", true);
}
bool RecorderEngine::autoShare() const {
    return defaults_.boolOr("autoShare", false);
}

// --- observable state ---

void RecorderEngine::setPhase(Phase phase) {
    if (phase_ == phase) return;
    phase_ = phase;
    emit phaseChanged();
}

void RecorderEngine::setElapsed(int elapsed) {
    if (elapsed_ == elapsed) return;
    elapsed_ = elapsed;
    emit elapsedChanged();
}

void RecorderEngine::setLastError(std::optional<std::string> error) {
    if (lastError_ == error) return;
    lastError_ = std::move(error);
    emit lastErrorChanged();
}

// --- recording ---

// A recording's start cue. It is played once the recording runs (with the computer's audio, once
// its capture records, off the main thread) and called off at the stop, also while it waits for
// its turn to play: it never sounds after the recording ended, nor after the stop cue.
struct RecorderEngine::StartCue {
    std::mutex mutex;
    bool calledOff = false;
    std::uint64_t cue = 0;

    void play() {
        std::lock_guard lock(mutex);
        if (!calledOff && cue == 0) cue = SystemSound::play("Tink");
    }
    void callOff() {
        std::lock_guard lock(mutex);
        calledOff = true;
        SystemSound::cancel(cue);
    }
};

std::string RecorderEngine::stamp(std::chrono::system_clock::time_point t) {
    return localzone::format(t, "%Y-%m-%d_%H%M%S");
}

void RecorderEngine::toggle() {
    switch (phase_) {
        case Phase::idle:
            start();
            break;
        case Phase::recording:
            stop();
            break;
        case Phase::processing:
            break;
    }
}

void RecorderEngine::start() {
    // A second start while the first is still opening the microphone is ignored, so there is
    // never a second recorder or clock.
    if (phase_ != Phase::idle || starting_) return;
    starting_ = true;
    const fs::path url =
        store_.recordingsDir() / ("rec-" + stamp(std::chrono::system_clock::now()) + ".m4a");
    auto micOpened = std::make_shared<std::promise<bool>>();
    sysStartTask_.reset();
    startCue_ = std::make_shared<StartCue>();
    if (captureSystemAudio()) sysStartTask_ = startSystemCapture(url, micOpened->get_future());
    // Reaching the sound server can take a moment; the main thread never waits for it.
    std::thread([self = this, url, handoff = handoff_.handle(), micOpened] {
        std::unique_ptr<MicrophoneRecorder> recorder;
        std::string error;
        auto startedAt = Clock::now();
        try {
            recorder = std::make_unique<MicrophoneRecorder>(url);
            recorder->setConnectionWatch([self, handoff](bool recording, Loss why) {
                const auto at = Clock::now();
                handoff.post([self, recording, why, at] {
                    self->connectionChanged(Side::microphone, recording, why, at);
                });
            });
            recorder->record([self, handoff](std::error_code e) {
                handoff.post([self, e] { self->writeFailed(e); });
            });
            startedAt = recorder->startedAt();  // the file's time zero
        } catch (const std::exception& e) {
            error = e.what();
            recorder.reset();
        }
        micOpened->set_value(recorder != nullptr);
        auto shared = std::make_shared<std::unique_ptr<MicrophoneRecorder>>(std::move(recorder));
        // Runs only while the engine exists, on its thread.
        handoff.post([self, handoff, shared, error, startedAt] {
            if (*shared) {
                self->starting_ = false;
                self->begin(std::move(*shared), startedAt);
                return;
            }
            self->setLastError(error);
            notify("録音を開始できませんでした", error);
            const auto sysStarted = std::exchange(self->sysStartTask_, std::nullopt);
            if (!sysStarted) {
                self->starting_ = false;
                return;
            }
            // The capture started alongside is closed and its file removed before the next
            // start may use it.
            std::thread([self, handoff, capture = self->sysCapture_, task = *sysStarted] {
                if (task.get())
                    if (const auto sys = capture->stop()) {
                        std::error_code ignored;
                        fs::remove(*sys, ignored);
                    }
                handoff.post([self] { self->starting_ = false; });
            }).detach();
        });
    }).detach();
}

// The computer's audio is recorded from the press, as the microphone is: what the other side
// says meanwhile must not be lost, and audio the server has already sent to the speakers never
// reaches a capture that connects later. So the capture connects alongside the microphone, not
// after it. It writes silence where the app's own start cue sounds; the cue waits for the
// capture's first audio, so that what the computer plays is recorded on both sides of it.
std::shared_future<bool> RecorderEngine::startSystemCapture(const fs::path& micURL,
                                                            std::future<bool> micOpened) {
    const fs::path sysURL = micURL.parent_path() / (micURL.stem().string() + "-sys.m4a");
    auto promise = std::make_shared<std::promise<bool>>();
    auto started = promise->get_future().share();
    std::thread([self = this, handoff = handoff_.handle(), capture = sysCapture_, sysURL, promise,
                 startCue = startCue_, micOpened = std::move(micOpened)]() mutable {
        bool ok = true;
        try {
            capture->start(sysURL, [self, handoff](std::error_code e) {
                handoff.post([self, e] { self->writeFailed(e); });
            });
        } catch (const std::exception&) {
            ok = false;
        }
        promise->set_value(ok);
        // Said only while the microphone records: a recording that could not start says so
        // itself, and plays no start cue.
        if (!micOpened.get()) return;
        if (!ok)
            notify("システム音声は録音されません(マイクのみで録音中)",
                   "相手の声も録るには、サウンド設定で出力デバイスを確認してください");
        // Once the capture records, or soon in any case: a speaker that idles may take seconds
        // to deliver.
        if (ok) capture->waitForAudio(kCaptureBeforeCue, kCueWaitsForCapture);
        startCue->play();
    }).detach();
    return started;
}

void RecorderEngine::begin(std::unique_ptr<MicrophoneRecorder> recorder,
                           Clock::time_point startedAt) {
    recorder_ = std::move(recorder);
    lostSince_ = {};
    outageWhy_ = {};
    outageSince_.reset();
    missing_ = {};
    setElapsed(0);
    setPhase(Phase::recording);
    timer_.start();
    micStartedAt_ = startedAt;
    // With the computer's audio, its capture plays the start cue.
    if (!sysStartTask_) startCue_->play();
    // Participants are looked for only with the computer's audio, whose capture started with the
    // microphone.
    if (sysStartTask_ && detectParticipants()) meetingVision_->start();
}

void RecorderEngine::connectionChanged(Side side, bool recording, Loss why,
                                       Clock::time_point at) {
    if (!recorder_ || phase_ != Phase::recording) return;
    const auto i = static_cast<std::size_t>(side);
    auto& lost = lostSince_[i];
    if (!recording) {
        // Told again when more is known of why.
        lostWhy_[i] = why;
        outageWhy_[i] = why;
        if (lost) return;
        lost = at;
        if (!outageSince_) {
            outageSince_ = at;
            outageTold_ = false;
            outageTimer_.start();
        }
        return;
    }
    if (!lost) return;
    lost.reset();
    if (!outageSince_ || std::any_of(lostSince_.begin(), lostSince_.end(),
                                     [](const auto& since) { return since.has_value(); }))
        return;
    const auto gap = at - *outageSince_;
    const bool told = outageTold_;
    const auto sides = outageWhy_;
    endOutage(at);
    const bool mic = sides[0].has_value(), computer = sides[1].has_value();
    if (told) {
        // The user heard that nothing was being recorded: now that it is again, they hear so too.
        notify("録音を再開しました",
               "約" + roughSeconds(gap) + "秒間、" +
                   (mic && computer ? std::string("音声") : std::string(sideName(mic)) + "の音声") +
                   "が録音されていませんでした");
        return;
    }
    const Loss cause = *(mic ? sides[0] : sides[1]);
    std::string body;
    if (cause == Loss::server && (!mic || !computer || sides[0] == sides[1]))
        body = "サウンドサーバーとの接続が約" + roughSeconds(gap) + "秒切れていました。";
    else if (cause == Loss::device && mic && !computer)
        body = "マイクが約" + roughSeconds(gap) + "秒見つかりませんでした。";
    else
        body = (mic && computer ? std::string("音声") : std::string(sideName(mic)) + "の音声") +
               "が約" + roughSeconds(gap) + "秒途切れていました。";
    notify("音声が一時的に途切れました", body + "録音は続けています");
}

void RecorderEngine::outageLasted() {
    if (!outageSince_ || outageTold_ || !recorder_) return;
    // Only what holds now is told: a side whose audio flows again is back, whether or not its
    // own word of that has come yet.
    const auto now = Clock::now();
    if (lostSince_[0] && recorder_->delivering())
        connectionChanged(Side::microphone, true, lostWhy_[0], now);
    if (lostSince_[1] && sysCapture_->recording())
        connectionChanged(Side::computer, true, lostWhy_[1], now);
    if (!outageSince_) return;
    const bool mic = lostSince_[0].has_value(), computer = lostSince_[1].has_value();
    if (!mic && !computer) return;
    outageTold_ = true;
    const std::string title = mic && computer ? std::string("音声が録音されていません")
                                              : std::string(sideName(mic)) + "の音声が録音されていません";
    std::string body;
    if (mic) body += lossText(true, lostWhy_[0]);
    if (computer && !(mic && lostWhy_[1] == lostWhy_[0] && lostWhy_[0] == Loss::server))
        body += lossText(false, lostWhy_[1]);
    const bool serverOnly = (!mic || lostWhy_[0] == Loss::server) &&
                            (!computer || lostWhy_[1] == Loss::server);
    const bool micOnlyGone = mic && !computer && lostWhy_[0] == Loss::device;
    body += serverOnly    ? "録音は続けており、接続が戻りしだい再開します"
            : micOnlyGone ? "録音は続けており、マイクがつながりしだい再開します"
                          : "録音は続けており、戻りしだい再開します";
    notify(title, body);
}

void RecorderEngine::endOutage(Clock::time_point at) {
    if (outageSince_) missing_ += at - *outageSince_;
    outageSince_.reset();
    outageTimer_.stop();
    lostSince_ = {};
    outageWhy_ = {};
}

void RecorderEngine::writeFailed(std::error_code error) {
    if (!recorder_ || phase_ != Phase::recording) return;
    // Recording on would write nothing, and a track cut off later could lose what it holds.
    const std::string keeping = "ここまでの録音から議事録を作成します";
    if (error == std::errc::no_space_on_device || error.value() == EDQUOT)
        notify("ディスクの空きがないため録音を停止しました", keeping);
    else
        notify("録音を保存できないため停止しました", keeping + "\n" + error.message());
    stop();
}

void RecorderEngine::stop() {
    if (!recorder_ || phase_ != Phase::recording) return;
    const fs::path micURL = recorder_->url();
    // A side still without sound at the stop is missing up to here: its file is filled with
    // silence to the stop, so the minutes are made from what was captured.
    endOutage(Clock::now());
    recorder_->stop();
    recorder_.reset();
    timer_.stop();
    if (startCue_) startCue_->callOff();
    detectedParticipants_ =
        meetingVision_->isRunning() ? meetingVision_->stop() : std::vector<std::string>{};

    const std::string sourceName = micURL.filename().string();
    if (!sysStartTask_) {
        SystemSound::play("Pop");
        process(micURL, sourceName);
        return;
    }
    setPhase(Phase::processing);
    auto task = *sysStartTask_;
    sysStartTask_.reset();
    finished(micURL, sourceName, task, micStartedAt_);
}

// Waits for the system-audio capture, mixes, and processes the mix or the microphone alone.
void RecorderEngine::finished(const fs::path& mic, const std::string& sourceName,
                              std::shared_future<bool> sysStarted, Clock::time_point micStartedAt) {
    std::thread([self = this, capture = sysCapture_, handoff = handoff_.handle(), mic, sourceName,
                 sysStarted, micStartedAt] {
        const std::optional<fs::path> sys = sysStarted.get() ? capture->stop() : std::nullopt;
        // The stop cue only now, so that the capture does not hear it.
        handoff.post([] { SystemSound::play("Pop"); });
        fs::path toProcess = mic;
        std::shared_ptr<const ScratchFolder> scratch;
        if (sys) {
            const auto sysStartedAt = capture->firstSampleAt().value_or(micStartedAt);
            const auto mix = [&](const fs::path& out) {
                SystemAudioCapture::mix(mic, micStartedAt, *sys, sysStartedAt, out);
                toProcess = out;
            };
            const auto mixName = mic.stem().string() + "-mix.m4a";
            try {
                mix(mic.parent_path() / mixName);
                std::error_code ec;
                fs::remove(*sys, ec);
            } catch (const std::system_error&) {
                // The mix could not be written, typically for a full disk: one made in a
                // temporary folder still gives minutes of both sides. It is not kept, so the
                // "-sys" file stays.
                try {
                    if ((scratch = ScratchFolder::make())) mix(scratch->path() / mixName);
                } catch (const std::exception&) {
                }
            } catch (const std::exception&) {
                // The microphone alone is processed; the "-sys" file is kept, since it holds
                // the other participants' voices.
            }
        }
        handoff.post([self, toProcess, sourceName, scratch] {
            self->process(toProcess, sourceName, scratch);
        });
    }).detach();
}

void RecorderEngine::finishForQuit() {
    if (!recorder_) return;
    endOutage(Clock::now());
    missing_ = {};  // nothing is processed
    recorder_->stop();
    recorder_.reset();
    timer_.stop();
    if (startCue_) startCue_->callOff();
    if (meetingVision_->isRunning()) meetingVision_->stop();
    if (sysStartTask_) {
        // A capture still connecting gets a moment to come up, so that it can be closed.
        if (sysStartTask_->wait_for(std::chrono::seconds(5)) == std::future_status::ready &&
            sysStartTask_->get())
            sysCapture_->stop();
        sysStartTask_.reset();
    }
    setPhase(Phase::idle);
}

// --- processing ---

std::vector<std::string> RecorderEngine::vocabularyTerms(const std::string& text) {
    std::vector<std::string> terms;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view piece(text.data() + pos, end - pos);
        const auto first = piece.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            const auto last = piece.find_last_not_of(" \t");
            terms.emplace_back(piece.substr(first, last - first + 1));
        }
        pos = end + 1;
    }
    return terms;
}

std::vector<std::string> RecorderEngine::mergedParticipants(
    const std::vector<std::string>& detected, const std::vector<std::string>& calendar) {
    std::vector<std::string> all = detected;
    all.insert(all.end(), calendar.begin(), calendar.end());
    // std::string compares bytes, and UTF-8 byte order is code-point order.
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

void RecorderEngine::process(const fs::path& url, const std::string& sourceName) {
    process(url, sourceName, nullptr);
}

void RecorderEngine::process(const fs::path& url, const std::string& sourceName,
                             std::shared_ptr<const void> scratch) {
    setPhase(Phase::processing);
    setLastError(std::nullopt);
    const std::string templateId = this->templateId();
    const auto detected = detectedParticipants_;
    // Set by the stop of the recording being processed; an imported file has none.
    const auto missing = std::exchange(missing_, {});

    callService(
        this,
        [&store = store_, &defaults = defaults_, url, templateId, sourceName, detected, scratch] {
            // A recording stopped before any audio arrived (a stray double press) or a file
            // without audio: there is nothing to make minutes of.
            if (AudioFileReader::holdsNoAudio(url)) return Stored{{}, {}, true};
            const auto terms = vocabularyTerms(defaults.stringValue("vocabulary").value_or(""));
            const auto participants =
                mergedParticipants(detected, storedStrings(defaults, kCalendarParticipantsKey));
            std::optional<std::string> instruction;
            if (auto custom = CustomTemplateStore::find(templateId, defaults))
                instruction = custom->instruction;
            const MinutesResult result =
                TavroAPI::process(url, templateId, instruction, terms, participants);
            defaults.remove(kCalendarParticipantsKey);
            Stored stored;
            stored.record = store.add(result, templateId, sourceName, &stored.saveError);
            return stored;
        },
        [this, templateId, missing](ServiceOutcome<Stored> outcome) {
            setPhase(Phase::idle);
            if (!outcome.ok()) {
                setLastError(outcome.error().message());
                notify("議事録の作成に失敗しました", outcome.error().message());
                return;
            }
            if (outcome.value().noAudio) {
                notify("音声がありません", "音声が含まれていないため、議事録は作成しませんでした");
                return;
            }
            const MinutesRecord& record = outcome.value().record;
            const MinutesResult& result = record.result;
            Clipboard::setText(toMarkdown(result, templateLabel(templateId, defaults_)));
            std::string copied = result.title + " — クリップボードにコピー済み";
            if (missing > Clock::duration::zero())
                copied += "\n録音の一部(約" + roughSeconds(missing) + "秒)が途切れています";
            if (const auto& saveError = outcome.value().saveError; saveError.empty()) {
                notify("議事録が完成しました", copied);
            } else {
                // Announcing "ready" would be wrong: the record is gone at the next start.
                setLastError("議事録を保存できませんでした: " + saveError);
                notify("議事録を保存できませんでした", copied + "\n" + saveError);
            }
            if (autoAgent() && hasAutomaticItem(result)) dispatchAgent(record);
            if (autoShare()) autoShareAll(result, templateId);
        });
}

void RecorderEngine::dispatchAgent(const MinutesRecord& record) {
    agents_->dispatchAgent(record);
}

void RecorderEngine::autoShareAll(const MinutesResult& result, const std::string& templateId) {
    auto targets = collectShareTargets(defaults_, readSecret_);
    if (targets.empty()) return;
    const std::string label = templateLabel(templateId, defaults_);
    const std::string token = defaults_.stringValue("authToken").value_or("");
    if (token.empty()) return;
    std::thread([targets = std::move(targets), result, label, token] {
        std::vector<std::string> sent, failed;
        for (const auto& t : targets) {
            try {
                TavroAPI::share(t.target, t.config, result, label, token);
                sent.push_back(t.label);
            } catch (const std::exception&) {
                failed.push_back(t.label);
            }
        }
        notify("議事録を自動送信しました", shareSummary(sent, failed));
    }).detach();
}
