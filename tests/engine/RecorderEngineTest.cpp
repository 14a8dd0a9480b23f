// The recorder engine end to end: the real sound server, the session bus with the test
// notification server, and the fake service.
#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cmath>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "engine/MeetingVision.h"
#include "engine/RecorderEngine.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "library/CustomTemplateStore.h"
#include "library/MinutesStore.h"
#include "model/Markdown.h"
#include "platform/AudioInput.h"
#include "platform/Clipboard.h"
#include "platform/Notifier.h"
#include "platform/SystemSound.h"
#include "service/TavroAPI.h"
#include "support/AudioFixtures.h"
#include "support/NotificationWatch.h"
#include "support/PrivatePipeWire.h"
#include "support/PulseSession.h"
#include "support/ScopedMount.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "support/Tone.h"
#include "util/AtomicFile.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Phase = RecorderEngine::Phase;

namespace {

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class RecorderEngineTest : public ::testing::Test {
protected:
    testsupport::ScopedHome home;
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    UserDefaults defaults{home.home() / "defaults.json"};
    MinutesStore store{defaults, home.home() / "data", home.home() / "legacy"};
    RecorderEngine engine{store, defaults};
    std::map<std::string, std::string> secrets;

    bool waitPhase(Phase phase, int ms) {
        return QTest::qWaitFor([&] { return engine.phase() == phase; }, ms);
    }
    bool startRecording() {
        engine.toggle();
        return waitPhase(Phase::recording, 10000);
    }
    void SetUp() override {
        engine.setSecretReader([this](const std::string& account) { return secrets[account]; });
    }

    // Plays a tone into the microphone and another into the speakers, at the same time.
    void startTones(double seconds, QProcess& a, QProcess& b) {
        const auto mic = home.home() / "mic.wav";
        const auto speakers = home.home() / "speakers.wav";
        ASSERT_TRUE(testsupport::Tone::writeWav(mic, 2000, seconds));
        ASSERT_TRUE(testsupport::Tone::writeWav(speakers, 440, seconds));
        a.start("paplay", {"-d", "ci_mic_feed", QString::fromStdString(mic.string())});
        b.start("paplay", {QString::fromStdString(speakers.string())});
    }
    void playTones(double seconds) {
        QProcess a, b;
        startTones(seconds, a, b);
        a.waitForFinished(int(seconds * 1000) + 5000);
        b.waitForFinished(int(seconds * 1000) + 5000);
    }

    // An audio file to import; the fake service does not listen to it.
    fs::path importFile() {
        const auto path = store.recordingsDir() / "imported.m4a";
        atomicfile::write(path, "not really audio");
        return path;
    }
};

TEST_F(RecorderEngineTest, RecordingBecomesStoredMinutesOnTheClipboard) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    defaults.set("detectParticipants", false);
    defaults.set("calendarMeetingParticipants", DefaultsArray{"阿部", "伊藤"});
    defaults.set("vocabulary", "ローンチ\n   \n\tKPI");
    NotificationWatch watch;

    ASSERT_TRUE(startRecording());
    playTones(2.5);
    engine.toggle();
    EXPECT_EQ(engine.phase(), Phase::processing);
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    ASSERT_EQ(engine.lastError(), std::nullopt);

    const auto calls = service.requests("POST", "/api/process");
    ASSERT_EQ(calls.size(), 1u);
    const auto body = calls[0].json();
    EXPECT_TRUE(body.contains("inlineBase64"));  // the audio itself
    EXPECT_EQ(body["participants"], json::Value({"伊藤", "阿部"}));
    EXPECT_EQ(body["vocabulary"], json::Value({"ローンチ", "KPI"}));
    EXPECT_FALSE(defaults.contains("calendarMeetingParticipants"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.records().empty(); }, 5000));
    const MinutesRecord& record = store.records().front();
    EXPECT_EQ(Clipboard::text(), toMarkdown(record.result, "議事録"));
    EXPECT_EQ(atomicfile::read(store.mdURL(record)), Clipboard::text());

    // The mix replaced the companion file; the source name is the microphone file's.
    const auto stem = fs::path(record.sourceName).stem().string();
    EXPECT_EQ(filesIn(store.recordingsDir()),
              (std::vector<std::string>{stem + "-mix.m4a", record.sourceName}));

    const auto shown = watch.find("議事録が完成しました");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body.toStdString(), record.result.title + " — クリップボードにコピー済み");
}

TEST_F(RecorderEngineTest, WithoutSystemAudioTheMicrophoneFileIsSentAtOnce) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    defaults.set("captureSystemAudio", false);
    defaults.set("detectParticipants", true);  // ignored without system audio
    ASSERT_TRUE(startRecording());
    EXPECT_FALSE(engine.meetingVision().isRunning());
    QTest::qWait(500);
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 30000));
    EXPECT_EQ(service.requests("POST", "/api/process").size(), 1u);
    const auto files = filesIn(store.recordingsDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(0, 4), "rec-");
}

// A stray double press ends the recording before any audio came (here from a microphone that
// delivers nothing): nothing is sent, one notice says why, and the service would refuse the file.
TEST_F(RecorderEngineTest, QuickTogglesMakeOneRecordingAndSendNothingWithoutAudio) {
    TAVRO_REQUIRE_ENV("pulseaudio", audiotest::commandExists("pulseaudio"));
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    audiotest::PrivateSoundServer server(
        "load-module module-null-source source_name=mic\nsuspend-source mic 1\n"
        // The cues need a sink: without one the sound library falls back to ALSA, whose plugin
        // unloads mid-run and leaves the leak checker a thread it cannot read at exit.
        "load-module module-null-sink sink_name=speaker\n");
    defaults.set("captureSystemAudio", false);
    QSignalSpy phases(&engine, &RecorderEngine::phaseChanged);
    NotificationWatch watch;
    engine.toggle();
    engine.toggle();  // still opening the microphone: ignored
    ASSERT_TRUE(startRecording());
    QTest::qWait(300);
    EXPECT_EQ(phases.count(), 1);
    engine.toggle();
    EXPECT_EQ(engine.phase(), Phase::processing);
    engine.toggle();  // nothing while processing
    EXPECT_EQ(engine.phase(), Phase::processing);
    ASSERT_TRUE(waitPhase(Phase::idle, 30000));
    EXPECT_TRUE(service.requests("POST", "/api/process").empty());
    EXPECT_EQ(watch.find("音声がありません").size(), 1u);
    const auto files = filesIn(store.recordingsDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_THROW(TavroAPI::process(store.recordingsDir() / files[0], "minutes", {}), APIError);
}

// The computer's audio is captured from the press, alongside the microphone. When the
// microphone cannot be opened (here the only source is the speakers' monitor), one notice says
// so; the capture started alongside is closed and leaves no file, says nothing of its own, and
// is gone before the next press is taken.
TEST_F(RecorderEngineTest, AFailedMicrophoneLeavesNoCaptureOfTheComputersAudio) {
    TAVRO_REQUIRE_ENV("pulseaudio", audiotest::commandExists("pulseaudio"));
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    audiotest::PrivateSoundServer server("load-module module-null-sink sink_name=speaker\n");
    NotificationWatch watch;
    engine.toggle();
    ASSERT_EQ(watch.find("録音を開始できませんでした", 10000).size(), 1u);
    // A press is taken again only once the first capture is closed.
    NotificationWatch again;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            engine.toggle();
            return !again.find("録音を開始できませんでした", 100).empty();
        },
        20000));
    EXPECT_EQ(engine.phase(), Phase::idle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return filesIn(store.recordingsDir()).empty(); }, 10000))
        << filesIn(store.recordingsDir()).front();
    EXPECT_TRUE(watch.find("システム音声は録音されません(マイクのみで録音中)", 500).empty());
}

TEST_F(RecorderEngineTest, AFailedMixKeepsTheOtherSidesRecording) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    defaults.set("detectParticipants", false);
    ASSERT_TRUE(startRecording());
    const auto mic = filesIn(store.recordingsDir()).back();  // "rec-….m4a" sorts last
    // A folder where the mix would go makes the mix fail.
    fs::create_directory(store.recordingsDir() / (fs::path(mic).stem().string() + "-mix.m4a"));
    playTones(2.5);
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    EXPECT_TRUE(fs::exists(store.recordingsDir() / (fs::path(mic).stem().string() + "-sys.m4a")));
    ASSERT_EQ(service.requests("POST", "/api/process").size(), 1u);
    EXPECT_EQ(store.records().front().sourceName, mic);
}

// A disk that fills during a meeting (a small file system on the recordings folder): the
// recording stops by itself and says why, each track keeps its side up to there, and the audio
// sent for the minutes holds both.
TEST_F(RecorderEngineTest, AFullDiskStopsTheRecordingAndKeepsBothSides) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    TAVRO_REQUIRE_ENV("a private mount namespace", testsupport::ScopedMount::probe());
    const fs::path dir = store.recordingsDir(), sent = home.home() / "sent.m4a";
    const auto small = testsupport::ScopedMount::fileSystem(dir, "tmpfs", "size=96k");
    ASSERT_TRUE(small.ok()) << small.error();
    defaults.set("detectParticipants", false);
    NotificationWatch watch;
    ASSERT_TRUE(startRecording());
    QProcess a, b;
    startTones(60, a, b);
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine.phase() != Phase::recording; }, 60000));
    a.kill(), b.kill(), a.waitForFinished(), b.waitForFinished();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    EXPECT_EQ(watch.find("ディスクの空きがないため録音を停止しました").size(), 1u);
    const auto calls = service.requests("POST", "/api/process");
    const auto files = filesIn(dir);  // "rec-…-sys.m4a" sorts first
    ASSERT_TRUE(calls.size() == 1 && files.size() == 2);
    const auto audio = json::asString(calls[0].json()["inlineBase64"], "audio");
    atomicfile::write(sent, QByteArray::fromBase64(QByteArray::fromStdString(audio)).toStdString());
    const std::pair<fs::path, std::vector<int>> heard[] = {
        {dir / files[0], {440}}, {dir / files[1], {2000}}, {sent, {440, 2000}}};
    for (const auto& [file, tones] : heard) {
        const auto pcm = audiotest::decodeMono(file, 24000);
        EXPECT_GT(pcm.size(), 24000u) << file;
        for (int tone : tones) EXPECT_GT(audiotest::toneLevel(pcm, 24000, tone), 0.1) << file;
    }
}

TEST_F(RecorderEngineTest, ServiceFailureIsAnnouncedAndKeepsTheCalendarNames) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    defaults.set("calendarMeetingParticipants", DefaultsArray{"阿部"});
    service.script("POST", "/api/process",
                   FakeService::Reply::withJson(500, {{"error", "処理に失敗しました"}}));
    NotificationWatch watch;
    engine.process(importFile(), "imported.m4a");
    EXPECT_EQ(engine.phase(), Phase::processing);
    ASSERT_TRUE(waitPhase(Phase::idle, 30000));
    EXPECT_EQ(engine.lastError(), "処理に失敗しました");
    EXPECT_TRUE(defaults.contains("calendarMeetingParticipants"));
    const auto shown = watch.find("議事録の作成に失敗しました");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body, "処理に失敗しました");
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.records().empty());
}

TEST_F(RecorderEngineTest, UnsavedMinutesAreNotAnnouncedAsReady) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    const auto file = importFile();
    fs::remove_all(store.minutesDir());
    atomicfile::write(store.minutesDir(), "a file where the folder should be");
    NotificationWatch watch;
    engine.process(file, "imported.m4a");
    ASSERT_TRUE(waitPhase(Phase::idle, 30000));
    ASSERT_TRUE(engine.lastError());
    EXPECT_NE(engine.lastError()->find("議事録を保存できませんでした"), std::string::npos);
    EXPECT_EQ(watch.find("議事録を保存できませんでした").size(), 1u);
    EXPECT_TRUE(watch.find("議事録が完成しました", 200).empty());
    EXPECT_NE(Clipboard::text().find("# "), std::string::npos);  // the minutes are not lost
}

TEST_F(RecorderEngineTest, ImportedMinutesAreSentToConfiguredIntegrations) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    defaults.set("autoShare", true);
    defaults.set("autoAgent", false);
    defaults.set("authToken", service.issueToken("a@example.com"));
    defaults.set("slackWebhook", "https://hooks.example/s");
    defaults.set("hubspotObjectId", "42");
    secrets["hubspotToken"] = "hub-token";
    NotificationWatch watch;
    engine.process(importFile(), "imported.m4a");
    ASSERT_TRUE(waitPhase(Phase::idle, 30000));
    const auto shown = watch.find("議事録を自動送信しました", 10000);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body, "送信済み: Slack・HubSpot");
    const auto shares = service.requests("POST", "/api/share");
    ASSERT_EQ(shares.size(), 2u);
    EXPECT_EQ(shares[0].json()["target"], "slack");
    EXPECT_EQ(shares[1].json()["target"], "hubspot");
}

TEST_F(RecorderEngineTest, QuittingFinishesTheFilesWithoutProcessing) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    defaults.set("detectParticipants", false);
    ASSERT_TRUE(startRecording());
    playTones(2.5);
    engine.finishForQuit();
    EXPECT_EQ(engine.phase(), Phase::idle);
    const auto files = filesIn(store.recordingsDir());
    ASSERT_EQ(files.size(), 2u);  // rec-….m4a and rec-…-sys.m4a, both playable
    for (const auto& f : files)
        EXPECT_GT(audiotest::decodeMono(store.recordingsDir() / f, 24000).size(), 24000u) << f;
    QTest::qWait(200);
    EXPECT_TRUE(service.requests("POST", "/api/process").empty());
}

enum class SoundServer { pulseAudio, pipeWire };

const char* nameOf(SoundServer server) {
    return server == SoundServer::pulseAudio ? "PulseAudio" : "PipeWire";
}

// On PulseAudio, and on PipeWire's PulseAudio server; the cues reach the server through the
// sound library's own stream (its ALSA output) or through the server's sample cache (its pulse
// backend, the usual path on a desktop).
struct ServerCase {
    SoundServer server;
    const char* soundDriver;
};

std::string nameOf(const ServerCase& c) {
    return std::string(nameOf(c.server)) +
           (std::string(c.soundDriver) == "pulse" ? "SampleCache" : "Stream");
}
void PrintTo(const ServerCase& c, std::ostream* out) {
    *out << nameOf(c);
}

// On a private sound server of the kind the case names.
template <typename Case>
class OnPrivateServer : public RecorderEngineTest, public ::testing::WithParamInterface<Case> {
protected:
    std::optional<audiotest::PrivateSoundServer> pulseAudio;
    std::optional<audiotest::PrivatePipeWire> pipeWire;

    void SetUp() override {
        RecorderEngineTest::SetUp();
        if (this->GetParam().server == SoundServer::pulseAudio)
            TAVRO_REQUIRE_ENV("pulseaudio", audiotest::commandExists("pulseaudio"));
        else
            TAVRO_REQUIRE_ENV("PipeWire", audiotest::PrivatePipeWire::probe());
    }
    // Starts a server of the kind under test with `devices`, and points PULSE_SERVER at it.
    void startPrivateServer(const std::string& devices) {
        if (this->GetParam().server == SoundServer::pulseAudio)
            pulseAudio.emplace(devices);
        else
            pipeWire.emplace(devices);
    }
};

// Speakers and a silent microphone. PipeWire's PulseAudio server has no null source: the
// microphone echoes a silent sink.
constexpr const char* kQuietDevices =
    "load-module module-null-sink sink_name=spk rate=48000 channels=2\n"
    "load-module module-null-sink sink_name=mic_feed rate=48000 channels=1\n"
    "load-module module-remap-source source_name=mic master=mic_feed.monitor channels=1\n"
    "set-default-sink spk\nset-default-source mic\n";

// A recording stopped at once never plays its start cue after the stop: the start cue, which
// waits for the capture of the computer's audio, is called off, and the stop cue is the last
// asked for.
TEST_F(RecorderEngineTest, AQuickStopPlaysNoStartCueAfterTheStopCue) {
    TAVRO_REQUIRE_ENV("pulseaudio", audiotest::commandExists("pulseaudio"));
    audiotest::PrivateSoundServer server(kQuietDevices);
    defaults.set("detectParticipants", false);
    const auto since = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRecording());
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    const auto stopCueAsked = [&] {
        const auto cues = SystemSound::cuesSince(since);
        return !cues.empty() && cues.back().event == "device-removed";
    };
    ASSERT_TRUE(QTest::qWaitFor(stopCueAsked, 10000));
    // Past the longest the start cue waits for the capture.
    QTest::qWait(1000);
    const auto cues = SystemSound::cuesSince(since);
    ASSERT_FALSE(cues.empty());
    EXPECT_EQ(cues.back().event, "device-removed");
    EXPECT_LE(cues.size(), 2u);
}

class RecorderEngineOnServerTest : public OnPrivateServer<ServerCase> {
protected:
    // The sound library picks its output, and connects to the server, once per process: at the
    // first sound. Each case runs in a process of its own.
    audiotest::ScopedEnv soundDriver{"CANBERRA_DRIVER", GetParam().soundDriver};
};

INSTANTIATE_TEST_SUITE_P(, RecorderEngineOnServerTest,
                         ::testing::Values(ServerCase{SoundServer::pulseAudio, "alsa"},
                                           ServerCase{SoundServer::pulseAudio, "pulse"},
                                           ServerCase{SoundServer::pipeWire, "alsa"},
                                           ServerCase{SoundServer::pipeWire, "pulse"}),
                         [](const auto& info) { return nameOf(info.param); });

// The start and stop cues are heard on the speakers but are not in the recording of the
// computer's audio: on a quiet private server (speakers and a silent microphone), the mix stays
// silent while a listener on the speakers hears both cues. A notification's sound that the app
// plays itself (where the notification server plays none) is recorded like any other sound.
TEST_P(RecorderEngineOnServerTest, TheAppsOwnCuesStayOutOfTheRecording) {
    startPrivateServer(kQuietDevices);
    defaults.set("detectParticipants", false);
    std::mutex mutex;
    std::vector<std::pair<QDateTime, float>> heard;  // loud blocks on the speakers
    AudioInput speakers;
    speakers.open(AudioInput::Device::computerOutput);
    speakers.start(24000, 1, [&](const float* x, std::size_t n, auto) {
        float peak = 0;
        for (std::size_t i = 0; x && i < n; ++i) peak = std::max(peak, std::fabs(x[i]));
        std::lock_guard lock(mutex);
        if (peak > 0.05f) heard.emplace_back(QDateTime::currentDateTimeUtc(), peak);
    });
    const auto heardAfter = [&](const QDateTime& t) {
        std::lock_guard lock(mutex);
        return std::any_of(heard.begin(), heard.end(), [&](const auto& h) { return h.first > t; });
    };

    const auto begun = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(startRecording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return heardAfter(begun); }, 10000)) << "no start cue";
    // Until the companion file holds audio (an idle sink may take seconds to deliver, and the
    // capture holds back what it records while the cue may still come) and the recording has
    // gone on well past the cue.
    const auto mic = fs::path(filesIn(store.recordingsDir()).back());  // "rec-….m4a" sorts last
    const auto sys = store.recordingsDir() / (mic.stem().string() + "-sys.m4a");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(sys) && fs::file_size(sys) > 0 && engine.elapsed() >= 4; }, 30000));
    const auto notified = QDateTime::currentDateTimeUtc();
    SystemSound::playEvent(Notifier::kSoundName);
    ASSERT_TRUE(QTest::qWaitFor([&] { return heardAfter(notified); }, 10000)) << "no notification";
    // Until the whole sound is in the recording.
    const auto heardFor = engine.elapsed() + 2;
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.elapsed() >= heardFor; }, 30000));
    const auto stopped = QDateTime::currentDateTimeUtc();
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return heardAfter(stopped); }, 10000)) << "no stop cue";

    constexpr int kRate = 24000;
    const auto mix =
        audiotest::decodeMono(store.recordingsDir() / (mic.stem().string() + "-mix.m4a"), kRate);
    ASSERT_GT(mix.size(), kRate * 5u);
    // Silent up to the notification, which is there.
    EXPECT_LT(audiotest::peak({mix.begin(), mix.begin() + kRate * 7 / 2}), 0.01f);
    EXPECT_GT(audiotest::peak({mix.begin() + kRate * 7 / 2, mix.end()}), 0.05f);
    if (std::string(GetParam().soundDriver) == "pulse") {
        // The cues went through the server's sample cache.
        QProcess pactl;
        pactl.start("pactl", {"list", "short", "samples"});
        ASSERT_TRUE(pactl.waitForFinished(10000));
        const QByteArray samples = pactl.readAllStandardOutput();
        EXPECT_TRUE(samples.contains("device-added")) << samples.toStdString();
    }
}

// Every sink plays within a tenth of a second of now.
bool sinksInRealTime() {
    QProcess pactl;
    pactl.start("pactl", {"list", "sinks"});
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0) return false;
    for (const QByteArray& line : pactl.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() > 1 && words[0] == "Latency:" && words[1].toLongLong() > 100000)
            return false;
    }
    return true;
}

// The beeps of `a` paired with those of `b`, another recording of the same beeps that began at
// another time: `b` is shifted by what lines most of them up, and each beep of `a` gets the one of
// `b` within a quarter second of it there, if any.
std::vector<std::pair<double, double>> pairedBeeps(const std::vector<double>& a,
                                                   const std::vector<double>& b) {
    const auto nearest = [](const std::vector<double>& v, double t) {
        double best = INFINITY;
        for (double x : v)
            if (std::fabs(x - t) < std::fabs(best - t)) best = x;
        return best;
    };
    double shift = 0;
    std::size_t most = 0;
    for (double x : a)
        for (double y : b) {
            std::size_t lined = 0;
            for (double t : b) lined += std::fabs(nearest(a, t + x - y) - (t + x - y)) < 0.03;
            if (lined > most) most = lined, shift = x - y;
        }
    std::vector<std::pair<double, double>> pairs;
    for (double x : a)
        if (const double y = nearest(b, x - shift); std::fabs(y + shift - x) < 0.25)
            pairs.emplace_back(x, y);
    return pairs;
}

// The middle of `values`, which are not empty.
double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Stretches of at least 10 ms where the steady `hz` tone is missing from `x`: start and length,
// in seconds. The tone's level is the one it has most of the time.
std::vector<std::pair<double, double>> toneMissing(const std::vector<float>& x, int rate,
                                                   double hz) {
    const std::size_t window = static_cast<std::size_t>(rate) / 100, hop = window / 4;
    std::vector<double> levels;
    for (std::size_t i = 0; i + window <= x.size(); i += hop)
        levels.push_back(audiotest::toneLevel(x, rate, hz, i, i + window));
    if (levels.empty()) return {};
    const double level = median(levels);
    std::vector<std::pair<double, double>> missing;
    std::optional<std::size_t> from;
    for (std::size_t w = 0; w <= levels.size(); ++w) {
        const bool there = w == levels.size() || levels[w] > level / 2;
        if (!there && !from) from = w;
        if (there && from) {
            // A window counts as missing once the stretch covers half of it.
            const double start = static_cast<double>(*from * hop + window / 2) / rate;
            const double end = w == levels.size()
                                   ? static_cast<double>(x.size()) / rate
                                   : static_cast<double>(w * hop + window / 2) / rate;
            if (end - start >= 0.01) missing.emplace_back(start, end - start);
            from.reset();
        }
    }
    return missing;
}

// Of the stretches where the tone is missing from a mix `length` seconds long, those that the
// capture left out: neither the ones before its first block and after its last (the microphone
// starts and stops first), nor breaks shorter than any sound left out (a sound found is left out
// whole, 0.2 s and more here), which a busy machine makes now and then in a player's stream or the
// capture's (13–15 ms measured, on PipeWire).
std::vector<std::pair<double, double>> leftOut(std::vector<std::pair<double, double>> missing,
                                               double length) {
    if (!missing.empty() && missing.front().first < 0.01) missing.erase(missing.begin());
    if (!missing.empty() && missing.back().first + missing.back().second > length - 0.01)
        missing.pop_back();
    std::erase_if(missing, [](const auto& m) { return m.second < 0.05; });
    return missing;
}

// Stretches as the test's output gives them: " start+length" each, in ms from the press.
std::string asText(const std::vector<std::pair<double, double>>& stretches) {
    std::string text;
    for (const auto& [at, length] : stretches)
        text += " " + std::to_string(std::lround(at * 1000)) + "+" +
                std::to_string(std::lround(length * 1000));
    return text;
}

// How long the start cue sounds, in seconds.
double startCueLength() {
    constexpr int kRate = 24000;
    return static_cast<double>(
               audiotest::decodeMono("/usr/share/sounds/freedesktop/stereo/device-added.oga", kRate)
                   .size()) /
           kRate;
}

// Another program's steady tone is missing from the recording only while the start cue sounds:
// for at most the cue's length and 40 ms, and it is there on both sides of it.
TEST_P(RecorderEngineOnServerTest, AnotherProgramIsLeftOutOnlyWhileTheStartCueSounds) {
    startPrivateServer(kQuietDevices);
    defaults.set("detectParticipants", false);
    constexpr int kRate = 24000;
    constexpr double kSteady = 700, kSteadyLevel = 0.3;
    const fs::path steadyFile = home.home() / "steady.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(steadyFile, kSteady, 60, kSteadyLevel, 48000, 2));
    audiotest::Child steady({"paplay", "-d", "spk", steadyFile.string()});
    // Speakers that play in real time, as a desktop's do while a call runs: PulseAudio's virtual
    // ones would otherwise render seconds ahead, which no capture connecting later can have (the
    // hole at the start is measured against a plain capture elsewhere).
    audiotest::Child keepAlive(
        {"pacat", "--playback", "--raw", "--latency-msec=20", "-d", "spk", "/dev/zero"});
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    ASSERT_TRUE(startRecording());
    const auto mic = fs::path(filesIn(store.recordingsDir()).back());
    const auto sys = store.recordingsDir() / (mic.stem().string() + "-sys.m4a");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(sys) && fs::file_size(sys) > 0 && engine.elapsed() >= 4; }, 30000));
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));

    const auto mix =
        audiotest::decodeMono(store.recordingsDir() / (mic.stem().string() + "-mix.m4a"), kRate);
    const double cueLength = startCueLength();
    auto missing = toneMissing(mix, kRate, kSteady);
    const std::string stretches = asText(missing);
    // The hole at the start is measured against a plain capture elsewhere.
    const double length = static_cast<double>(mix.size()) / kRate;
    missing = leftOut(std::move(missing), length);
    ASSERT_EQ(missing.size(), 1u) << "missing (ms from the press):" << stretches;
    EXPECT_LE(missing[0].second, cueLength + 0.04) << stretches;
    EXPECT_LT(missing[0].first + missing[0].second, length - 1) << stretches;
    RecordProperty("missingMs", stretches);
    std::cout << nameOf(GetParam()) << ": the tone is missing (ms from the press):" << stretches
              << "\n";
}

// When the next recording is started: soon after the last one's stop cue, just after its
// finished notice arrives (so that the notice's sound, played by the app, sounds at the start),
// or well after.
enum class NextPress { soonAfterStop, afterNotice, wellAfterStop };
struct NextCase {
    SoundServer server;
    NextPress press;
};

std::string nameOf(const NextCase& c) {
    return std::string(nameOf(c.server)) + (c.press == NextPress::soonAfterStop ? "SoonAfterStop"
                                            : c.press == NextPress::afterNotice ? "AfterNotice"
                                                                                : "WellAfterStop");
}
void PrintTo(const NextCase& c, std::ostream* out) {
    *out << nameOf(c);
}

class RecorderEngineNextRecordingTest : public OnPrivateServer<NextCase> {
protected:
    audiotest::ScopedEnv soundDriver{"CANBERRA_DRIVER", "pulse"};
};

// A recording started soon after the last one, under another program's steady tone, loses the
// tone only once, for at most its own start cue's length and 40 ms: neither the last stop cue
// nor the finished notice's sound is taken for a cue of its own.
TEST_P(RecorderEngineNextRecordingTest, LosesOnlyItsOwnStartCuesMoment) {
    const NextCase c = GetParam();
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    startPrivateServer(kQuietDevices);
    defaults.set("detectParticipants", false);
    constexpr int kRate = 24000;
    constexpr double kSteady = 700;
    const fs::path steadyFile = home.home() / "steady.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(steadyFile, kSteady, 90, 0.3, 48000, 2));
    audiotest::Child steady({"paplay", "-d", "spk", steadyFile.string()});
    audiotest::Child keepAlive(
        {"pacat", "--playback", "--raw", "--latency-msec=20", "-d", "spk", "/dev/zero"});
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    const auto record = [&](int seconds) {
        const auto mic = fs::path(filesIn(store.recordingsDir()).back());
        const auto sys = store.recordingsDir() / (mic.stem().string() + "-sys.m4a");
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return fs::exists(sys) && fs::file_size(sys) > 0 && engine.elapsed() >= seconds;
            },
            30000));
        engine.toggle();
        EXPECT_TRUE(waitPhase(Phase::idle, 60000));
        return store.recordingsDir() / (mic.stem().string() + "-mix.m4a");
    };

    NotificationWatch watch;
    const auto since = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRecording());
    record(2);
    std::optional<std::chrono::steady_clock::time_point> stopCue;
    for (const auto& cue : SystemSound::cuesSince(since))
        if (cue.event == "device-removed") stopCue = cue.requestedAt;
    ASSERT_TRUE(stopCue);
    auto pressAt = *stopCue + (c.press == NextPress::wellAfterStop ? 5000ms : 1200ms);
    if (c.press == NextPress::afterNotice) {
        ASSERT_EQ(watch.find("議事録が完成しました", 30000).size(), 1u);
        pressAt = std::chrono::steady_clock::now() + 150ms;
    }
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::chrono::steady_clock::now() >= pressAt; }, 10000));
    const double pressedAfterStop =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - *stopCue).count();
    ASSERT_TRUE(startRecording());
    const auto mix = audiotest::decodeMono(record(4), kRate);

    const double cueLength = startCueLength();
    auto missing = toneMissing(mix, kRate, kSteady);
    const std::string stretches = asText(missing);
    const double length = static_cast<double>(mix.size()) / kRate;
    missing = leftOut(std::move(missing), length);
    RecordProperty("missingMs", stretches);
    std::cout << nameOf(c) << ", pressed " << std::lround(pressedAfterStop * 1000)
              << " ms after the stop cue: the tone is missing (ms from the press):" << stretches
              << "\n";
    ASSERT_EQ(missing.size(), 1u) << "missing (ms from the press):" << stretches;
    EXPECT_LE(missing[0].second, cueLength + 0.04) << stretches;
}

INSTANTIATE_TEST_SUITE_P(
    , RecorderEngineNextRecordingTest,
    ::testing::Values(NextCase{SoundServer::pulseAudio, NextPress::soonAfterStop},
                      NextCase{SoundServer::pulseAudio, NextPress::afterNotice},
                      NextCase{SoundServer::pulseAudio, NextPress::wellAfterStop},
                      NextCase{SoundServer::pipeWire, NextPress::soonAfterStop},
                      NextCase{SoundServer::pipeWire, NextPress::afterNotice},
                      NextCase{SoundServer::pipeWire, NextPress::wellAfterStop}),
    [](const auto& info) { return nameOf(info.param); });

// How the speakers stand at the press: kept playing in real time by a silent low-latency stream,
// as a desktop's usually are, or idle, where PulseAudio's virtual sinks render seconds ahead, or
// playing silence at the server's default latency since 2 s before the press (a paused player);
// how the other program plays: with a short buffer, or at the server's default latency; and
// whether the default output changes mid-recording, with the players moved to it (a headset
// plugged in); whether the recording is the engine's first or a later one; and whether the
// machine is busy meanwhile (a process spinning on every core).
struct PressCase {
    SoundServer server;
    bool keptAlive;
    bool defaultLatency;
    bool silenceBefore = false;
    bool switchOutput = false;
    bool later = false;
    bool loaded = false;
};

std::string nameOf(const PressCase& c) {
    return std::string(nameOf(c.server)) +
           (c.keptAlive       ? "Busy"
            : c.silenceBefore ? "PlayingSilence"
                              : "Idle") +
           (c.defaultLatency ? "DefaultLatency" : "LowLatency") +
           (c.switchOutput ? "OutputSwitched" : "") + (c.later ? "LaterRecording" : "") +
           (c.loaded ? "MachineLoaded" : "");
}
void PrintTo(const PressCase& c, std::ostream* out) {
    *out << nameOf(c);
}

class RecorderEngineFromThePressTest : public OnPrivateServer<PressCase> {
protected:
    std::vector<std::unique_ptr<audiotest::Child>> keepAlive;

    // Makes `to` the default output and moves every stream playing on `from` there, all at
    // once, as the server does when a headset is plugged in.
    static void moveToNewDefaultOutput(const std::string& from, const std::string& to) {
        testsupport::PulseSession pulse;
        ASSERT_TRUE(pulse.connect(30s)) << pulse.error();
        struct Found {
            std::uint32_t sink = PA_INVALID_INDEX;
            std::vector<std::uint32_t> inputs;
            int lists = 0;
        } found;
        // Which sink is `from`, then which streams play on it.
        auto* op = pa_context_get_sink_info_by_name(
            pulse.context(), from.c_str(),
            [](pa_context*, const pa_sink_info* info, int, void* f) {
                if (info) static_cast<Found*>(f)->sink = info->index;
                if (!info) ++static_cast<Found*>(f)->lists;
            },
            &found);
        pa_operation_unref(op);
        ASSERT_TRUE(pulse.runUntil([&] { return found.lists == 1; }, 30s));
        const auto listInputs = [&] {
            found.inputs.clear();
            const int lists = found.lists;
            pa_operation_unref(pa_context_get_sink_input_info_list(
                pulse.context(),
                [](pa_context*, const pa_sink_input_info* info, int, void* user) {
                    auto* f = static_cast<Found*>(user);
                    if (info && info->sink == f->sink) f->inputs.push_back(info->index);
                    if (!info) ++f->lists;
                },
                &found));
            return pulse.runUntil([&] { return found.lists == lists + 1; }, 30s);
        };
        ASSERT_TRUE(listInputs());
        ASSERT_FALSE(found.inputs.empty());
        std::vector<pa_operation*> ops = {
            pa_context_set_default_sink(pulse.context(), to.c_str(), nullptr, nullptr)};
        for (std::uint32_t input : found.inputs)
            ops.push_back(pa_context_move_sink_input_by_name(pulse.context(), input, to.c_str(),
                                                             nullptr, nullptr));
        EXPECT_TRUE(pulse.runUntil(
            [&] {
                return std::all_of(ops.begin(), ops.end(), [](pa_operation* o) {
                    return pa_operation_get_state(o) != PA_OPERATION_RUNNING;
                });
            },
            30s));
        for (pa_operation* o : ops) pa_operation_unref(o);
        // PipeWire's server answers before the streams have moved, and drops what is left when
        // the asking client leaves: the session stays until none plays on `from`.
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        do {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the streams stay on " << from;
            ASSERT_TRUE(listInputs());
        } while (!found.inputs.empty());
    }
};

// The computer's audio is recorded from the press, as the microphone is, also when the start
// cue is held up (here the sound theme hands it over through a pipe that is filled 1.2 s after
// the press; the cue's player cannot read a sound from a pipe and gives up then): beeps played
// into the speakers and into the microphone at once, every half second from 0.4 s after the
// press, all land in the mix, each of the computer's within 80 ms of its microphone twin (beyond
// what the server itself put between them) for the whole recording; and another program's steady
// tone, playing since before the press, is in the mix from as early as in a plain capture of the
// speakers started at the press up to the stop, missing for at most 0.15 s where the default
// output is switched.
TEST_P(RecorderEngineFromThePressTest, TheComputersAudioIsRecordedFromThePress) {
    const PressCase c = GetParam();
    // The test session's devices, without its keep-alive loopbacks.
    const std::string devices =
        "load-module module-null-sink sink_name=ci_speaker rate=48000 channels=2\n"
        "load-module module-null-sink sink_name=ci_mic_feed rate=48000 channels=1\n"
        "load-module module-remap-source source_name=ci_mic master=ci_mic_feed.monitor "
        "channels=1\n"
        "load-module module-null-sink sink_name=ci_headset rate=48000 channels=2\n"
        "set-default-sink ci_speaker\nset-default-source ci_mic\n";
    startPrivateServer(devices);
    if (c.keptAlive) {
        for (const char* sink : {"ci_speaker", "ci_mic_feed", "ci_headset"})
            keepAlive.push_back(std::make_unique<audiotest::Child>(std::vector<std::string>{
                "pacat", "--playback", "--raw", "--latency-msec=20", "-d", sink, "/dev/zero"}));
        ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    }
    defaults.set("detectParticipants", false);
    std::vector<std::unique_ptr<audiotest::Child>> load;
    if (c.loaded)
        for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            load.push_back(std::make_unique<audiotest::Child>(
                std::vector<std::string>{"sh", "-c", "exec yes >/dev/null"}));
    if (c.later) {
        // The engine's first recording, a short one, is made and finished before.
        ASSERT_TRUE(startRecording());
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.elapsed() >= 1; }, 10000));
        engine.toggle();
        ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    }
    // A switch of the output comes between two beeps, with beeps on either side.
    const int kBeeps = c.switchOutput ? 10 : 6;
    constexpr auto kSwitchAt = 3200ms;
    constexpr double kComputer = 3400, kMicrophone = 2600, kSteady = 700;
    constexpr auto kCueLate = 1200ms;

    const fs::path theme = home.home() / ".local/share/sounds/freedesktop";
    fs::create_directories(theme / "stereo");
    fs::copy_file("/usr/share/sounds/freedesktop/index.theme", theme / "index.theme");
    const fs::path cue = theme / "stereo/device-added.oga";
    ASSERT_EQ(mkfifo(cue.c_str(), 0600), 0) << errno;
    const std::string cueSound =
        audiotest::fileText("/usr/share/sounds/freedesktop/stereo/device-added.oga");
    ASSERT_FALSE(cueSound.empty());

    // Another program's tone, playing since well before the press.
    const fs::path steadyFile = home.home() / "steady.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(steadyFile, kSteady, 30, 0.5, 48000, 2));
    std::vector<std::string> steadyPlayer = {"paplay", "-d", "ci_speaker"};
    if (!c.defaultLatency) steadyPlayer.push_back("--latency-msec=100");
    steadyPlayer.push_back(steadyFile.string());
    audiotest::Child steady(steadyPlayer);

    QProcess player;
    QStringList args = {QString::number(kBeeps),      "ci_speaker",
                        QString::number(kComputer),   "ci_mic_feed",
                        QString::number(kMicrophone), "500"};
    // A meeting application's player keeps 30 ms; an ordinary one leaves it to the server.
    args << (c.defaultLatency ? "default" : "30");
    player.start(TAVRO_TWIN_PLAYER, args);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return player.canReadLine() || player.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(player.readLine().trimmed(), "ready") << player.readAllStandardError().toStdString();

    // A player that has played silence since 2 s before the press, at the default latency.
    std::optional<audiotest::Child> silence;
    if (c.silenceBefore)
        silence.emplace(std::vector<std::string>{"pacat", "--playback", "--raw", "-d", "ci_speaker",
                                                 "/dev/zero"});
    // The press comes at a set time, and the player starts the beeps 0.4 s later by itself:
    // this thread may be held up meanwhile.
    const auto pressAt = std::chrono::system_clock::now() + (c.silenceBefore ? 2000ms : 1000ms);
    const auto beepsAt =
        std::chrono::duration_cast<std::chrono::nanoseconds>((pressAt + 400ms).time_since_epoch());
    player.write(QByteArray::number(qint64(beepsAt.count())) + "\n");
    ASSERT_TRUE(player.waitForBytesWritten(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::chrono::system_clock::now() >= pressAt; }, 5000));
    const auto since = [&] { return std::chrono::system_clock::now() - pressAt; };
    engine.toggle();
    const fs::path plainFile = home.home() / "plain.wav", plainMicFile = home.home() / "plain-mic.wav";
    audiotest::Child plain({"parecord", "-d", "ci_speaker.monitor", "--channels=1",
                            "--file-format=wav", plainFile.string()});
    // And one of the microphone: a server that holds a player back on a busy machine does so in
    // a plain capture as in the recording.
    audiotest::Child plainMic(
        {"parecord", "-d", "ci_mic", "--channels=1", "--file-format=wav", plainMicFile.string()});
    // Waits for the player of the cue to open the pipe, and fills it late.
    // A player that has the cue's sound from earlier never opens the pipe: the feeder gives up
    // at the end of the test.
    std::atomic<bool> testEnded = false;
    std::thread feeder([&] {
        int fd = -1;
        while (fd < 0 && since() < 30s && !testEnded) {
            fd = ::open(cue.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) std::this_thread::sleep_for(10ms);
        }
        if (fd < 0) return;
        std::this_thread::sleep_until(pressAt + kCueLate);
        fcntl(fd, F_SETFL, 0);
        const bool written =
            ::write(fd, cueSound.data(), cueSound.size()) == ssize_t(cueSound.size());
        ::close(fd);
        EXPECT_TRUE(written);
    });
    const std::shared_ptr<void> joinFeeder(nullptr, [&](void*) {
        testEnded = true;
        feeder.join();
    });
    bool switched = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (c.switchOutput && !switched && since() >= kSwitchAt) {
                switched = true;
                moveToNewDefaultOutput("ci_speaker", "ci_headset");
            }
            return player.state() == QProcess::NotRunning;
        },
        60000));
    EXPECT_TRUE(switched || !c.switchOutput);
    EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
    // How much later the server played the speakers' beeps than the microphone's: a sink that
    // renders far ahead starts a new stream late.
    const QList<QByteArray> report = player.readAllStandardOutput().trimmed().split(' ');
    ASSERT_EQ(report.size(), 3);
    ASSERT_EQ(report[0], "apart");
    // PipeWire's sinks play in real time from the start, so its twins sound together; its
    // account of a stream at the default latency is off by tens of milliseconds.
    const double apart =
        c.server == SoundServer::pipeWire || report[1] == "?" ? 0.0 : report[1].toDouble() / 1000;
    // The plain capture ends at a clean stop, so that its file is complete.
    for (audiotest::Child* p : {&plain, &plainMic}) {
        ::kill(p->pid(), SIGINT);
        ASSERT_EQ(p->wait(), 0);
    }
    ASSERT_EQ(engine.phase(), Phase::recording);
    engine.toggle();
    load.clear();  // what was recorded was recorded busy; the mix need not be made so
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));

    const auto mic = fs::path(store.records().empty() ? "" : store.records().front().sourceName);
    ASSERT_FALSE(mic.empty());
    const auto mix =
        audiotest::decodeMono(store.recordingsDir() / (mic.stem().string() + "-mix.m4a"), 24000);
    const auto plainCapture = audiotest::decodeMono(plainFile, 24000);
    // A beep that a busy server broke up (a plain capture holds the same break) counts once.
    const auto beepStarts = [](const std::vector<float>& x, double hz) {
        std::vector<double> starts;
        for (double t : audiotest::toneOnsets(x, 24000, hz, 0.5))
            if (starts.empty() || t > starts.back() + 0.3) starts.push_back(t);
        return starts;
    };
    const auto spoken = beepStarts(mix, kMicrophone);
    const auto played = beepStarts(mix, kComputer);
    const auto list = [](const std::vector<double>& v) {
        std::string text;
        for (double t : v) text += " " + std::to_string(t);
        return text;
    };
    const auto plainPlayed = beepStarts(plainCapture, kComputer);
    const auto plainSpoken = beepStarts(audiotest::decodeMono(plainMicFile, 24000), kMicrophone);
    ASSERT_EQ(spoken.size(), std::size_t(kBeeps)) << list(spoken);
    // Every beep of the speakers is in the mix, but one the server lost from a plain capture of
    // them too; after a switch of the output, which that capture does not follow, every one.
    const auto plainInMix = pairedBeeps(plainPlayed, played);
    EXPECT_EQ(plainInMix.size(), plainPlayed.size()) << list(played) << " / plain:" << list(plainPlayed);
    EXPECT_GE(played.size(), plainPlayed.size()) << list(played) << " / plain:" << list(plainPlayed);
    if (c.switchOutput) {
        EXPECT_EQ(std::count_if(played.begin(), played.end(),
                                [&](double t) { return t > std::chrono::duration<double>(kSwitchAt).count() + 0.1; }),
                  4)
            << list(played);
    }
    // How far apart the server itself played each of the speakers' beeps and its microphone twin,
    // as both plain captures hold them.
    std::vector<std::optional<double>> serverApart(spoken.size());
    {
        const auto micPairs = pairedBeeps(spoken, plainSpoken);
        const auto speakerPairs = pairedBeeps(played, plainPlayed);
        const auto inPlain = [](const std::vector<std::pair<double, double>>& pairs, double t) {
            for (const auto& [x, y] : pairs)
                if (std::fabs(x - t) < 0.25) return std::optional<double>(y);
            return std::optional<double>();
        };
        for (std::size_t i = 0; i < spoken.size(); ++i) {
            const auto m = inPlain(micPairs, spoken[i]), p = inPlain(speakerPairs, spoken[i] + apart);
            if (m && p) serverApart[i] = *p - *m;
        }
    }
    // The hole at the start: where the steady tone begins in the mix, whose time zero is the
    // press.
    const double hole = audiotest::toneOnset(mix, 24000, kSteady, 0.25).value_or(INFINITY);
    const auto nearest = [](const std::vector<double>& v, double t) {
        double best = INFINITY;
        for (double x : v)
            if (std::fabs(x - t) < std::fabs(best - t)) best = x;
        return best;
    };
    std::string offsets;
    std::vector<std::pair<std::size_t, double>> heard;  // beep, computer minus microphone
    for (std::size_t i = 0; i < spoken.size(); ++i) {
        const double offset = nearest(played, spoken[i] + apart) - spoken[i];
        offsets += " " + std::to_string(static_cast<int>(std::lround(offset * 1000)));
        // A beep that sounded before any capture could hear it is cut short: its onset is
        // where the computer's audio begins.
        if (std::fabs(spoken[i] + offset - hole) >= 0.03) heard.emplace_back(i, offset);
    }
    // Where the server's own account of the player moved by half a second or more while it
    // played (a stream at the default latency on speakers that had rendered seconds ahead), the
    // pairs are held to their own steady offset, which lies within 80 ms of the first account.
    double expected = apart;
    if (report[2] != "?" && std::fabs(report[2].toDouble() / 1000 - apart) >= 0.5 && !heard.empty()) {
        std::vector<double> offsetsHeard;
        for (const auto& [i, offset] : heard) offsetsHeard.push_back(offset);
        expected = median(offsetsHeard);
        EXPECT_LT(std::fabs(expected - apart), 0.08) << "offsets (ms):" << offsets;
    }
    // The server's account holds for most of the beeps; one it moved in the plain captures too
    // may be moved as far in the mix.
    std::vector<double> serverMoves;
    for (const auto& apartThen : serverApart)
        if (apartThen) serverMoves.push_back(*apartThen);
    const std::optional<double> serverUsual =
        serverMoves.empty() ? std::nullopt : std::optional<double>(median(serverMoves));
    for (const auto& [i, offset] : heard)
        EXPECT_LT(std::fabs(offset - expected -
                            (serverApart[i] && serverUsual ? *serverApart[i] - *serverUsual : 0)),
                  0.08)
            << "beep " << i + 1 << " at " << spoken[i] << " s, the server played it "
            << apart * 1000 << " ms after the microphone's; offsets (ms):" << offsets;
    // The same in the plain capture, whose file starts at its first sample, whenever the server
    // delivered that: its place in the mix comes from the computer's beeps, which both hold.
    // Roughly placed by the microphone's first beep, a later computer beep (one not cut short)
    // is matched with the mix's nearest, which is no more than half the beeps' interval away.
    ASSERT_GE(plainPlayed.size(), 2u) << list(plainPlayed);
    const double plainStart =
        nearest(played, plainPlayed[1] + spoken[0] + apart - plainPlayed[0]) - plainPlayed[1];
    const double plainHole =
        plainStart + audiotest::toneOnset(plainCapture, 24000, kSteady, 0.25).value_or(INFINITY);
    // A little before the switch: the beeps from then on are on the new output.
    const double switchBefore = std::chrono::duration<double>(kSwitchAt).count() - 0.3;
    // Every interval between two of the computer's beeps in the mix is the one in the plain
    // capture of the same speakers: nothing the server delivered was left out, nothing added.
    // Beeps that either holds cut short are left aside, and so is what comes after a switch of the
    // output, which the plain capture does not follow.
    std::string intervals;
    {
        // Where the plain capture lies in the mix: the shift that lines up most beeps.
        double shift = plainStart;
        std::size_t most = 0;
        for (double a : played)
            for (double b : plainPlayed) {
                std::size_t lined = 0;
                for (double t : plainPlayed)
                    lined += std::fabs(nearest(played, t + a - b) - (t + a - b)) < 0.03;
                if (lined > most) most = lined, shift = a - b;
            }
        const double plainCut = audiotest::toneOnset(plainCapture, 24000, kSteady, 0.25).value_or(0);
        std::vector<std::pair<double, double>> both;  // onsets: in the mix, in the plain capture
        for (double t : played) {
            if (std::fabs(t - hole) < 0.03 || (c.switchOutput && t > switchBefore)) continue;
            const double inPlain = nearest(plainPlayed, t - shift);
            if (std::fabs(inPlain - (t - shift)) < 0.25 && std::fabs(inPlain - plainCut) >= 0.03)
                both.emplace_back(t, inPlain);
        }
        ASSERT_GE(both.size(), std::size_t(c.switchOutput ? 4 : 3))
            << list(played) << " / plain:" << list(plainPlayed);
        for (std::size_t i = 1; i < both.size(); ++i) {
            const double inMix = both[i].first - both[i - 1].first;
            const double inPlain = both[i].second - both[i - 1].second;
            intervals += " " + std::to_string(std::lround((inMix - inPlain) * 1000));
            EXPECT_NEAR(inMix, inPlain, 0.02)
                << "between the beeps at " << both[i - 1].first << " and " << both[i].first
                << " s of the mix";
        }
    }
    // The start cue may blank its own length and 40 ms, when it sounds at once.
    const double cueWindow = startCueLength() + 0.04;
    EXPECT_LT(hole, std::max({plainHole, cueWindow, 0.0}) + 0.1) << "plain: " << plainHole;
    // The steady tone is in the mix up to the stop: what the computer played last is not cut
    // off, and a switch of the output costs a moment only.
    double lostAtTheSwitch = 0, lostAtTheEnd = 0;
    const double length = static_cast<double>(mix.size()) / 24000;
    const double switchAt = std::chrono::duration<double>(kSwitchAt).count();
    const auto missing = toneMissing(mix, 24000, kSteady);
    const std::string stretches = asText(missing);
    for (const auto& [at, howLong] : missing) {
        if (at + howLong > length - 0.01)
            lostAtTheEnd += howLong;
        else if (c.switchOutput && at > switchAt - 0.5 && at < switchAt + 1)
            lostAtTheSwitch += howLong;
    }
    EXPECT_LE(lostAtTheSwitch, 0.15) << "missing (ms from the press):" << stretches;
    EXPECT_LE(lostAtTheEnd, 0.1) << "missing (ms from the press):" << stretches;
    // Kept in the test's output: how far each of the computer's beeps lies from its twin, and
    // the holes.
    RecordProperty("offsetsMs", offsets);
    RecordProperty("intervalsAgainstPlainMs", intervals);
    RecordProperty("apartMs", static_cast<int>(std::lround(apart * 1000)));
    RecordProperty("holeMs", static_cast<int>(std::lround(hole * 1000)));
    RecordProperty("plainHoleMs", static_cast<int>(std::lround(plainHole * 1000)));
    std::cout << nameOf(c) << ": computer minus microphone, per beep (ms):" << offsets
              << " (played " << std::lround(apart * 1000) << " ms apart, "
              << report[2].toStdString() << " by the last account); hole at the start "
              << std::lround(hole * 1000) << " ms, plain capture's "
              << std::lround(plainHole * 1000)
              << " ms; the tone missing (ms from the press):" << stretches
              << "; intervals against the plain capture's (ms):" << intervals << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    , RecorderEngineFromThePressTest,
    ::testing::Values(PressCase{SoundServer::pulseAudio, true, false},
                      PressCase{SoundServer::pulseAudio, false, false},
                      PressCase{SoundServer::pulseAudio, false, true},
                      PressCase{SoundServer::pulseAudio, true, true},
                      PressCase{SoundServer::pulseAudio, false, true, true},
                      PressCase{SoundServer::pulseAudio, true, true, false, true},
                      PressCase{SoundServer::pulseAudio, true, false, false, true},
                      PressCase{SoundServer::pipeWire, true, false},
                      PressCase{SoundServer::pipeWire, false, true},
                      PressCase{SoundServer::pipeWire, false, true, true},
                      PressCase{SoundServer::pipeWire, true, true, false, true},
                      // The first recording and a later one, on a busy machine.
                      PressCase{SoundServer::pulseAudio, false, true, false, false, false, true},
                      PressCase{SoundServer::pulseAudio, false, true, false, false, true, true},
                      PressCase{SoundServer::pulseAudio, true, false, false, false, true, true},
                      PressCase{SoundServer::pipeWire, false, true, false, false, false, true},
                      PressCase{SoundServer::pipeWire, true, false, false, false, true, true}),
    [](const auto& info) { return nameOf(info.param); });

// The sound server goes away 2.5 s into a recording: it comes back a second later (a crash, or
// the user restarting it), or stays away until the stop.
struct ServerGoneCase {
    SoundServer server;
    bool comesBack;
};

std::string nameOf(const ServerGoneCase& c) {
    return std::string(nameOf(c.server)) + (c.comesBack ? "ComesBack" : "StaysAway");
}
void PrintTo(const ServerGoneCase& c, std::ostream* out) {
    *out << nameOf(c);
}

class RecorderEngineServerGoneTest : public OnPrivateServer<ServerGoneCase> {
protected:
    // The cues go through the server, never through ALSA, also while it is away.
    audiotest::ScopedEnv soundDriver{"CANBERRA_DRIVER", "pulse"};
    std::vector<std::unique_ptr<audiotest::Child>> players;

    void killServer() {
        players.clear();  // they go with the server
        pulseAudio ? pulseAudio->kill() : pipeWire->kill();
    }
    void restartServer() { pulseAudio ? pulseAudio->start() : pipeWire->start(); }
    // Speakers and microphone that play in real time, with a steady tone on the speakers.
    void play(const fs::path& steady) {
        players.push_back(std::make_unique<audiotest::Child>(
            std::vector<std::string>{"paplay", "--latency-msec=20", "-d", "spk", steady.string()}));
        players.push_back(std::make_unique<audiotest::Child>(std::vector<std::string>{
            "pacat", "--playback", "--raw", "--latency-msec=20", "-d", "mic_feed", "/dev/zero"}));
    }
    // A beep into the speakers and one into the microphone, together at `at`; returns how much
    // later the server played the speakers' than the microphone's, in seconds.
    double beepAt(std::chrono::system_clock::time_point at) {
        QProcess player;
        player.start(TAVRO_TWIN_PLAYER, {"1", "spk", "3400", "mic_feed", "2600", "500"});
        [&] {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return player.canReadLine() || player.state() == QProcess::NotRunning; },
                60000));
            ASSERT_EQ(player.readLine().trimmed(), "ready")
                << player.readAllStandardError().toStdString();
        }();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch());
        player.write(QByteArray::number(qint64(ns.count())) + "\n");
        player.waitForBytesWritten(10000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 60000));
        EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
        const QList<QByteArray> report = player.readAllStandardOutput().trimmed().split(' ');
        // PipeWire's account of a stream is off by tens of milliseconds; its sinks play in real
        // time.
        if (GetParam().server == SoundServer::pipeWire || report.size() != 2 || report[1] == "?")
            return 0;
        return report[1].toDouble() / 1000;
    }
};

INSTANTIATE_TEST_SUITE_P(, RecorderEngineServerGoneTest,
                         ::testing::Values(ServerGoneCase{SoundServer::pulseAudio, true},
                                           ServerGoneCase{SoundServer::pipeWire, true},
                                           ServerGoneCase{SoundServer::pulseAudio, false},
                                           ServerGoneCase{SoundServer::pipeWire, false}),
                         [](const auto& info) { return nameOf(info.param); });

// Both sides record on once the server is back, and say so once; the time away is silence on
// both, so the mix is as long as the recording and a beep pair played after the restart lies as
// far from one played before as it was played. A server that stays away is reported as nothing
// being recorded, and the stop still makes minutes of a mix as long as the recording. The
// finished notice says how much is missing.
TEST_P(RecorderEngineServerGoneTest, TheRecordingGoesOnAcrossTheServersAbsence) {
    const ServerGoneCase c = GetParam();
    startPrivateServer(kQuietDevices);
    defaults.set("detectParticipants", false);
    constexpr int kRate = 24000;
    constexpr double kSteady = 700, kComputer = 3400, kMicrophone = 2600;
    const fs::path steady = home.home() / "steady.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(steady, kSteady, 60, 0.3, 48000, 2));
    play(steady);
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    NotificationWatch watch;
    const auto pressedAt = std::chrono::system_clock::now();
    ASSERT_TRUE(startRecording());
    const auto firstBeep = pressedAt + 1200ms;
    const double firstApart = beepAt(firstBeep);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::chrono::system_clock::now() >= pressedAt + 2500ms; }, 10000));
    killServer();
    const auto killedAt = std::chrono::system_clock::now();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::chrono::system_clock::now() >= killedAt + 1s; }, 10000));
    std::optional<std::chrono::system_clock::time_point> secondBeep;
    double secondApart = 0;
    if (c.comesBack) {
        restartServer();
        play(steady);
        const auto told = watch.find("音声が一時的に途切れました", 30000);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].body.indexOf("録音は続けています"), -1) << told[0].body.toStdString();
        ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
        secondBeep = std::chrono::system_clock::now() + 1s;
        secondApart = beepAt(*secondBeep);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return std::chrono::system_clock::now() >= *secondBeep + 1s; }, 10000));
    } else {
        ASSERT_EQ(watch.find("音声が録音されていません", 30000).size(), 1u);
    }
    ASSERT_EQ(engine.phase(), Phase::recording);
    const auto stoppedAt = std::chrono::system_clock::now();
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    const double recorded = std::chrono::duration<double>(stoppedAt - pressedAt).count();

    // Minutes were made, and they say how much of the meeting is missing.
    ASSERT_FALSE(store.records().empty()) << engine.lastError().value_or("");
    const MinutesRecord& record = store.records().front();
    const auto finished = watch.find("議事録が完成しました", 10000);
    ASSERT_EQ(finished.size(), 1u);
    const std::string body = finished[0].body.toStdString();
    EXPECT_EQ(body.rfind(record.result.title + " — クリップボードにコピー済み\n録音の一部(約", 0),
              0u)
        << body;
    // Told once: the other notice is not posted.
    EXPECT_TRUE(
        watch.find(c.comesBack ? "音声が録音されていません" : "音声が一時的に途切れました", 100)
            .empty());

    const auto stem = fs::path(record.sourceName).stem().string();
    const auto mix = audiotest::decodeMono(store.recordingsDir() / (stem + "-mix.m4a"), kRate);
    const double mixLength = static_cast<double>(mix.size()) / kRate;
    EXPECT_NEAR(mixLength, recorded, 0.5);
    const double micLength =
        static_cast<double>(
            audiotest::decodeMono(store.recordingsDir() / record.sourceName, kRate).size()) /
        kRate;
    EXPECT_NEAR(micLength, recorded, 0.5);
    // The time the steady tone is missing from the mix, the start cue aside: the longest stretch.
    double gap = 0;
    for (const auto& [at, length] : toneMissing(mix, kRate, kSteady))
        if (at > 1.5) gap = std::max(gap, length);
    EXPECT_GE(gap, 0.9);
    std::string beeps;
    if (c.comesBack) {
        // A beep that a busy machine broke up counts once.
        const auto beepStarts = [&](double hz) {
            std::vector<double> starts;
            for (double t : audiotest::toneOnsets(mix, kRate, hz, 0.5))
                if (starts.empty() || t > starts.back() + 0.3) starts.push_back(t);
            return starts;
        };
        const auto played = beepStarts(kComputer);
        const auto spoken = beepStarts(kMicrophone);
        const auto list = [](const std::vector<double>& v) {
            std::string text;
            for (double t : v) text += " " + std::to_string(t);
            return text;
        };
        ASSERT_EQ(played.size(), 2u) << list(audiotest::toneOnsets(mix, kRate, kComputer, 0.5));
        ASSERT_EQ(spoken.size(), 2u) << list(audiotest::toneOnsets(mix, kRate, kMicrophone, 0.5));
        const double apart = std::chrono::duration<double>(*secondBeep - firstBeep).count();
        EXPECT_NEAR(spoken[1] - spoken[0], apart, 0.1);
        EXPECT_NEAR(played[1] - played[0], apart + secondApart - firstApart, 0.1);
        // Both sides together, as before the gap.
        EXPECT_NEAR(played[1] - spoken[1], secondApart, 0.1);
        beeps = "; the beeps after the restart at " + std::to_string(played[1] - played[0]) +
                " s (computer) and " + std::to_string(spoken[1] - spoken[0]) +
                " s (microphone) from those before, played " + std::to_string(apart) + " s apart";
    }
    RecordProperty("gapMs", static_cast<int>(std::lround(gap * 1000)));
    RecordProperty("mixMs", static_cast<int>(std::lround(mixLength * 1000)));
    std::cout << nameOf(c) << ": the computer's audio is missing for " << std::lround(gap * 1000)
              << " ms; mix " << mixLength << " s, microphone " << micLength << " s, recorded "
              << recorded << " s" << beeps << "; \"" << body << "\"\n";
}

// The devices change under a running recording: the only microphone goes away and comes back
// (PulseAudio moves a stream whose source goes onto another one, a sink's monitor where that is
// all there is; and with switch-on-connect, as desktops load it, it moves every recording stream
// onto a source that appears), or another program has the server end one of its streams.
class RecorderEngineDevicesTest : public OnPrivateServer<ServerCase> {
protected:
    static constexpr const char* kMicrophone =
        "load-module module-remap-source source_name=mic master=mic_feed.monitor channels=1";
    // The index of the microphone's module, as pactl lists it.
    static std::string microphoneModule() {
        QProcess pactl;
        pactl.start("pactl", {"list", "short", "modules"});
        if (!pactl.waitForFinished(10000)) return {};
        for (const QByteArray& line : pactl.readAllStandardOutput().split('\n'))
            if (line.contains("module-remap-source") && line.contains("source_name=mic"))
                return line.split('\t').value(0).trimmed().toStdString();
        return {};
    }
    static bool pactl(const QStringList& args) {
        QProcess p;
        p.start("pactl", args);
        return p.waitForFinished(10000) && p.exitCode() == 0;
    }
};

INSTANTIATE_TEST_SUITE_P(, RecorderEngineDevicesTest,
                         ::testing::Values(ServerCase{SoundServer::pulseAudio, "pulse"},
                                           ServerCase{SoundServer::pipeWire, "pulse"}),
                         [](const auto& info) { return std::string(nameOf(info.param.server)); });

// The microphone's track is silent while there is no microphone, never the speakers that the
// server put in its place, and holds the user's voice again once a microphone is back; the
// computer's track goes on throughout. The user hears that the microphone is gone, not the sound
// server, and that recording resumed.
TEST_P(RecorderEngineDevicesTest, TheMicrophoneIsSilentWhileGoneAndTakenBackWhenItComes) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    const bool pulse = GetParam().server == SoundServer::pulseAudio;
    startPrivateServer(std::string(kQuietDevices) +
                       (pulse ? "load-module module-switch-on-connect\n" : ""));
    defaults.set("detectParticipants", false);
    constexpr int kRate = 24000;
    constexpr double kSpeakers = 700, kVoice = 2600;
    const fs::path speakers = home.home() / "speakers.wav", voice = home.home() / "voice.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(speakers, kSpeakers, 60, 0.3, 48000, 2));
    ASSERT_TRUE(testsupport::Tone::writeWav(voice, kVoice, 60, 0.3, 48000, 1));
    audiotest::Child speakersPlay({"paplay", "--latency-msec=30", "-d", "spk", speakers.string()});
    audiotest::Child voicePlay({"paplay", "--latency-msec=30", "-d", "mic_feed", voice.string()});
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    NotificationWatch watch;
    const auto pressedAt = std::chrono::steady_clock::now();
    const auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - pressedAt).count();
    };
    ASSERT_TRUE(startRecording());
    // What the speakers and the microphone were fed, by plain captures: a busy server's players
    // skip now and then. (Switch-on-connect moves them too once a microphone comes back.)
    const fs::path plainFile = home.home() / "plain.wav", plainVoiceFile = home.home() / "voice-plain.wav";
    const double plainFrom = since();
    audiotest::Child plain({"parecord", "-d", "spk.monitor", "--channels=1", "--file-format=wav",
                            plainFile.string()});
    audiotest::Child plainVoice({"parecord", "-d", "mic_feed.monitor", "--channels=1",
                                 "--file-format=wav", plainVoiceFile.string()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return since() >= 2.5; }, 10000));
    const std::string module = microphoneModule();
    ASSERT_FALSE(module.empty());
    ASSERT_TRUE(pactl({"unload-module", QString::fromStdString(module)}));
    const double goneAt = since();
    const auto gone = watch.find("マイクの音声が録音されていません", 30000);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_NE(gone[0].body.indexOf("マイクが見つかりません"), -1) << gone[0].body.toStdString();
    EXPECT_EQ(gone[0].body.indexOf("サウンドサーバー"), -1) << gone[0].body.toStdString();
    ASSERT_TRUE(pactl(QString(kMicrophone).split(' ')));
    const double backAt = since();
    const auto resumed = watch.find("録音を再開しました", 20000);
    ASSERT_EQ(resumed.size(), 1u);
    EXPECT_NE(resumed[0].body.indexOf("マイク"), -1) << resumed[0].body.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return since() >= backAt + 2.5; }, 10000));
    const double recorded = since();
    for (audiotest::Child* p : {&plain, &plainVoice}) {
        ::kill(p->pid(), SIGINT);
        ASSERT_EQ(p->wait(), 0);
    }
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    ASSERT_FALSE(store.records().empty()) << engine.lastError().value_or("");
    EXPECT_TRUE(watch.find("音声が録音されていません", 100).empty());

    const auto mic = fs::path(store.records().front().sourceName);
    const auto micTrack = audiotest::decodeMono(store.recordingsDir() / mic, kRate);
    const auto mix =
        audiotest::decodeMono(store.recordingsDir() / (mic.stem().string() + "-mix.m4a"), kRate);
    // The microphone's track, 100 ms at a time: the voice where a microphone was (leaving out
    // half a second around each change), silence where none was, and never the speakers.
    const auto voiceSkipped = toneMissing(audiotest::decodeMono(plainVoiceFile, kRate), kRate, kVoice);
    const auto playerSkipped = [&](double t) {
        return std::any_of(voiceSkipped.begin(), voiceSkipped.end(), [&](const auto& s) {
            return s.first + plainFrom < t + 0.3 && s.first + s.second + plainFrom > t - 0.2;
        });
    };
    std::string heard;
    for (double t = 0.5; t + 0.1 < static_cast<double>(micTrack.size()) / kRate; t += 0.1) {
        const auto from = static_cast<std::size_t>(t * kRate), to = from + kRate / 10;
        const double ownVoice = audiotest::toneLevel(micTrack, kRate, kVoice, from, to);
        const double theSpeakers = audiotest::toneLevel(micTrack, kRate, kSpeakers, from, to);
        EXPECT_LT(theSpeakers, 0.02) << "the speakers in the microphone's track at " << t << " s";
        const bool micThere = (t < goneAt - 0.5 || t > backAt + 1.5) && !playerSkipped(t);
        const bool noMic = t > goneAt + 0.5 && t < backAt - 0.5;
        if (micThere) {
            EXPECT_GT(ownVoice, 0.1) << "no voice at " << t << " s";
        }
        if (noMic) {
            EXPECT_LT(ownVoice, 0.02) << "a voice at " << t << " s, with no microphone";
        }
        heard += ownVoice > 0.1 ? "v" : theSpeakers > 0.02 ? "S" : ".";
    }
    // The computer's side goes on: past the start cue, the speakers' tone is missing from the mix
    // only where the plain capture misses it too, and for a moment where the server moved the
    // capture onto the new microphone and it was moved back.
    const double length = static_cast<double>(mix.size()) / kRate;
    EXPECT_NEAR(length, recorded, 0.5);
    const auto missing = toneMissing(mix, kRate, kSpeakers);
    const auto plainMissing = toneMissing(audiotest::decodeMono(plainFile, kRate), kRate, kSpeakers);
    const auto lostWithin = [](const std::vector<std::pair<double, double>>& stretches, double from,
                               double to) {
        double lost = 0;
        for (const auto& [at, howLong] : stretches)
            if (at > from && at < to) lost += howLong;
        return lost;
    };
    EXPECT_LT(lostWithin(missing, 1.5, length) - lostWithin(plainMissing, 1, backAt - plainFrom),
              0.15)
        << "missing (ms from the press):" << asText(missing)
        << "; from the plain capture (ms from its start):" << asText(plainMissing);
    std::cout << nameOf(GetParam()) << ": gone at " << goneAt << " s, back at " << backAt
              << " s; the microphone's track by tenths (v: voice, S: speakers): " << heard
              << "; the speakers missing from the mix (ms from the press):" << asText(missing)
              << ", from a plain capture (ms from its start):" << asText(plainMissing) << "\n";
}

// The server ends the capture of the computer's audio while it runs on (`pactl
// kill-source-output`): the capture records on with a new stream, and the user hears which side
// was interrupted, not that the sound server is gone.
TEST_P(RecorderEngineDevicesTest, AStreamEndedByAnotherProgramIsNamedAndRecordedOn) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    startPrivateServer(kQuietDevices);
    defaults.set("detectParticipants", false);
    const fs::path speakers = home.home() / "speakers.wav";
    ASSERT_TRUE(testsupport::Tone::writeWav(speakers, 700, 60, 0.3, 48000, 2));
    audiotest::Child play({"paplay", "--latency-msec=30", "-d", "spk", speakers.string()});
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    NotificationWatch watch;
    const auto pressedAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRecording());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::chrono::steady_clock::now() >= pressedAt + 2s; }, 10000));
    // The capture's stream, the one recording the speakers' monitor, is ended as `pactl
    // kill-source-output` ends it. PipeWire's server answers before the stream has ended, and
    // drops the order when the asking client leaves at once: the session stays until the stream
    // is gone, and asks again while it is not.
    {
        testsupport::PulseSession pulse;
        ASSERT_TRUE(pulse.connect(30s)) << pulse.error();
        struct Found {
            std::uint32_t monitor = PA_INVALID_INDEX, capture = PA_INVALID_INDEX;
            int lists = 0;
            bool gone = false;
        } found;
        pa_context_set_subscribe_callback(
            pulse.context(),
            [](pa_context*, pa_subscription_event_type_t event, std::uint32_t index, void* user) {
                auto* f = static_cast<Found*>(user);
                if ((event & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_REMOVE &&
                    index == f->capture)
                    f->gone = true;
            },
            &found);
        pa_operation_unref(pa_context_subscribe(pulse.context(),
                                                PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT, nullptr,
                                                nullptr));
        pa_operation_unref(pa_context_get_source_info_by_name(
            pulse.context(), "spk.monitor",
            [](pa_context*, const pa_source_info* info, int, void* f) {
                if (info) static_cast<Found*>(f)->monitor = info->index;
                if (!info) ++static_cast<Found*>(f)->lists;
            },
            &found));
        ASSERT_TRUE(pulse.runUntil([&] { return found.lists == 1; }, 30s));
        pa_operation_unref(pa_context_get_source_output_info_list(
            pulse.context(),
            [](pa_context*, const pa_source_output_info* info, int, void* user) {
                auto* f = static_cast<Found*>(user);
                if (info && info->source == f->monitor) f->capture = info->index;
                if (!info) ++f->lists;
            },
            &found));
        ASSERT_TRUE(pulse.runUntil([&] { return found.lists == 2; }, 30s));
        ASSERT_NE(found.capture, PA_INVALID_INDEX);
        for (int asked = 0; !found.gone; ++asked) {
            ASSERT_LT(asked, 10) << "the server does not end the capture's stream";
            pa_operation_unref(pa_context_kill_source_output(pulse.context(), found.capture,
                                                             nullptr, nullptr));
            pulse.runUntil([&] { return found.gone; }, 3s);
        }
    }
    const auto told = watch.find("音声が一時的に途切れました", 20000);
    ASSERT_EQ(told.size(), 1u) << "notifications:" << watch.seen();
    EXPECT_NE(told[0].body.indexOf("システム音声"), -1) << told[0].body.toStdString();
    EXPECT_EQ(told[0].body.indexOf("サウンドサーバー"), -1) << told[0].body.toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::chrono::steady_clock::now() >= pressedAt + 4s; }, 10000));
    const double recorded =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - pressedAt).count();
    engine.toggle();
    ASSERT_TRUE(waitPhase(Phase::idle, 60000));
    ASSERT_FALSE(store.records().empty()) << engine.lastError().value_or("");
    EXPECT_TRUE(watch.find("音声が録音されていません", 100).empty());
    const auto mic = fs::path(store.records().front().sourceName);
    const auto mix =
        audiotest::decodeMono(store.recordingsDir() / (mic.stem().string() + "-mix.m4a"), 24000);
    EXPECT_NEAR(static_cast<double>(mix.size()) / 24000, recorded, 0.5);
}

// The wall clock is set back or forward while a recording runs (as a time server or the user
// does, and as a resume from suspend looks): a recording in a process of its own, its wall clock
// stepped through libfaketime and its monotonic one left alone.
struct StepCase {
    SoundServer server;
    int seconds;
};

std::string nameOf(const StepCase& c) {
    return std::string(nameOf(c.server)) + (c.seconds < 0 ? "Back" : "Forward") +
           std::to_string(std::abs(c.seconds)) + "s";
}
void PrintTo(const StepCase& c, std::ostream* out) {
    *out << nameOf(c);
}

// The preloaded library that gives a process a wall clock of the test's choosing.
std::optional<fs::path> fakeTimeLibrary() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"})
        if (const fs::path lib = fs::path(dir) / "faketime/libfaketimeMT.so.1"; fs::exists(lib))
            return lib;
    return std::nullopt;
}

class RecorderEngineClockStepTest : public OnPrivateServer<StepCase> {};

INSTANTIATE_TEST_SUITE_P(, RecorderEngineClockStepTest,
                         ::testing::Values(StepCase{SoundServer::pulseAudio, -2},
                                           StepCase{SoundServer::pulseAudio, -30},
                                           StepCase{SoundServer::pulseAudio, 120},
                                           StepCase{SoundServer::pulseAudio, 3600},
                                           StepCase{SoundServer::pipeWire, -30},
                                           StepCase{SoundServer::pipeWire, 3600}),
                         [](const auto& info) { return nameOf(info.param); });

// A step of the wall clock costs neither side anything: beeps played into the speakers and the
// microphone every second, before and after the step, all land in the mix a second apart, each
// of the computer's within 80 ms of its microphone twin; the mix is as long as the recording;
// and memory grows by less than 50 MB.
TEST_P(RecorderEngineClockStepTest, AStepOfTheWallClockCostsNothing) {
    const StepCase c = GetParam();
    const auto library = fakeTimeLibrary();
    TAVRO_REQUIRE_ENV("libfaketime", library.has_value());
    startPrivateServer(kQuietDevices);
    // Speakers and microphone that play in real time, so that the twins sound together.
    std::vector<std::unique_ptr<audiotest::Child>> keepAlive;
    for (const char* sink : {"spk", "mic_feed"})
        keepAlive.push_back(std::make_unique<audiotest::Child>(std::vector<std::string>{
            "pacat", "--playback", "--raw", "--latency-msec=20", "-d", sink, "/dev/zero"}));
    ASSERT_TRUE(QTest::qWaitFor(sinksInRealTime, 20000));
    constexpr int kBeeps = 8;
    constexpr double kComputer = 3400, kMicrophone = 2600, kRecordFor = 11;
    QProcess player;
    player.start(TAVRO_TWIN_PLAYER, {QString::number(kBeeps), "spk", QString::number(kComputer),
                                     "mic_feed", QString::number(kMicrophone), "1000", "30"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return player.canReadLine() || player.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(player.readLine().trimmed(), "ready") << player.readAllStandardError().toStdString();

    const fs::path dir = home.home(), clock = dir / "wall-clock", ready = dir / "ready";
    atomicfile::write(clock, "+0\n");
    const char* asan = std::getenv("ASAN_OPTIONS");
    audiotest::Child child(
        {TAVRO_RECORD_CHILD, (dir / "rec.m4a").string(), (dir / "rec-sys.m4a").string(),
         ready.string(), std::to_string(kRecordFor), (dir / "rec-mix.m4a").string()},
        {"LD_PRELOAD=" + library->string(), "FAKETIME_TIMESTAMP_FILE=" + clock.string(),
         "FAKETIME_NO_CACHE=1", "FAKETIME_DONT_FAKE_MONOTONIC=1",
         // The sanitizer's runtime need not come first: the clock's library is preloaded.
         "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(ready) || !child.running(); }, 30000));
    ASSERT_TRUE(fs::exists(ready));
    // What the server delivered of each side, by plain captures on the true clock: a busy
    // server may hold a player back now and then, and that is in the recording as in them.
    const fs::path plainSpeakers = dir / "plain-speakers.wav", plainMic = dir / "plain-mic.wav";
    audiotest::Child plainComputer({"parecord", "-d", "spk.monitor", "--channels=1",
                                    "--file-format=wav", plainSpeakers.string()});
    audiotest::Child plainVoice(
        {"parecord", "-d", "mic", "--channels=1", "--file-format=wav", plainMic.string()});
    // The player keeps its own, true, wall clock: the beeps start a second from now, and the
    // step comes between the third and the fourth.
    const auto beepsAt = std::chrono::system_clock::now() + 1s;
    player.write(QByteArray::number(qint64(
                     std::chrono::duration_cast<std::chrono::nanoseconds>(beepsAt.time_since_epoch())
                         .count())) +
                 "\n");
    ASSERT_TRUE(player.waitForBytesWritten(10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::chrono::system_clock::now() >= beepsAt + 3500ms; }, 20000));
    atomicfile::write(clock, (c.seconds < 0 ? "" : "+") + std::to_string(c.seconds) + "\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 60000));
    for (audiotest::Child* plain : {&plainComputer, &plainVoice}) {
        ::kill(plain->pid(), SIGINT);
        ASSERT_EQ(plain->wait(), 0);
    }
    EXPECT_EQ(child.wait(), 0);
    const std::string done = audiotest::fileText(ready.string() + ".done");
    double recorded = 0;
    long grewKb = -1;
    ASSERT_EQ(std::sscanf(done.c_str(), "recorded %lf grewKb %ld", &recorded, &grewKb), 2) << done;

    const auto beepStarts = [](const std::vector<float>& x, double hz) {
        std::vector<double> starts;
        for (double t : audiotest::toneOnsets(x, 24000, hz, 0.5))
            if (starts.empty() || t > starts.back() + 0.3) starts.push_back(t);
        return starts;
    };
    const auto mix = audiotest::decodeMono(dir / "rec-mix.m4a", 24000);
    const auto played = beepStarts(mix, kComputer), spoken = beepStarts(mix, kMicrophone);
    const auto plainPlayed = beepStarts(audiotest::decodeMono(plainSpeakers, 24000), kComputer);
    const auto plainSpoken = beepStarts(audiotest::decodeMono(plainMic, 24000), kMicrophone);
    ASSERT_EQ(spoken.size(), std::size_t(kBeeps));
    ASSERT_EQ(played.size(), std::size_t(kBeeps));
    // Each side's beeps lie as far apart as in its plain capture (which may miss the last, having
    // stopped with the player); the twins begin within 80 ms of each other and stay so, beyond
    // what the server itself put between them.
    std::string offsets, intervals;
    for (const auto& [mixed, plain] : {std::pair(played, plainPlayed), std::pair(spoken, plainSpoken)}) {
        const auto pairs = pairedBeeps(mixed, plain);
        ASSERT_GE(pairs.size(), std::size_t(kBeeps - 1));
        for (std::size_t i = 1; i < pairs.size(); ++i) {
            intervals += " " + std::to_string(std::lround((pairs[i].first - pairs[i - 1].first) * 1000));
            EXPECT_NEAR(pairs[i].first - pairs[i - 1].first, pairs[i].second - pairs[i - 1].second,
                        0.02)
                << "beeps at " << pairs[i - 1].first << " and " << pairs[i].first << " s";
        }
        intervals += ";";
    }
    const std::size_t plainTwins = std::min(plainPlayed.size(), plainSpoken.size());
    for (std::size_t i = 0; i < played.size(); ++i) {
        const double apart = played[i] - spoken[i];
        const double serverMoved =
            i < plainTwins ? (plainPlayed[i] - plainSpoken[i]) - (plainPlayed[0] - plainSpoken[0])
                           : 0;
        offsets += " " + std::to_string(std::lround(apart * 1000));
        EXPECT_LT(std::fabs(apart - serverMoved), 0.08) << "beep " << i + 1;
    }
    const double length = static_cast<double>(mix.size()) / 24000;
    EXPECT_NEAR(length, recorded, 0.5);
    EXPECT_LT(grewKb, 50 * 1024);
    RecordProperty("offsetsMs", offsets);
    RecordProperty("grewKb", static_cast<int>(grewKb));
    std::cout << nameOf(c) << ": mix " << length << " s of " << recorded
              << " s recorded; computer minus microphone, per beep (ms):" << offsets
              << "; intervals, computer; microphone (ms):" << intervals << "; memory grew "
              << grewKb / 1024 << " MB\n";
}

// The vocabulary's blank lines are covered end to end above.
TEST(RecorderEngineText, StampsAndNames) {
    testsupport::ScopedTimeZone tz("Asia/Tokyo");
    EXPECT_EQ(RecorderEngine::stamp(*iso8601::parse("2026-03-01T09:05:07+09:00")),
              "2026-03-01_090507");
    EXPECT_EQ(RecorderEngine::mergedParticipants({"Sato", "Ito"}, {"Ito", "Abe"}),
              (std::vector<std::string>{"Abe", "Ito", "Sato"}));
}

}  // namespace
