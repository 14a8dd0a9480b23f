// The finder against the real theme sounds, mixed into recordings with what another program
// might play at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "../../bench/SpeechSignal.h"
#include "platform/SoundFinder.h"
#include "support/AudioFixtures.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kRate = 48000;
constexpr std::size_t kRecording = 4 * kRate;
constexpr const char* kAdded = "device-added";      // 0.22 s
constexpr const char* kRemoved = "device-removed";  // 0.22 s, much of it like kAdded
constexpr const char* kComplete = "complete";       // 1.09 s
constexpr const char* kNotice = "message-new-instant";
const std::filesystem::path kThemeDir = "/usr/share/sounds/freedesktop/stereo";

const std::vector<float>& theme(const std::string& name) {
    static std::map<std::string, std::vector<float>> cache;
    auto& s = cache[name];
    if (s.empty()) s = audiotest::decodeMono(kThemeDir / (name + ".oga"), kRate);
    return s;
}

const SoundFinder& finder(const std::string& name) {
    static std::map<std::string, SoundFinder> made;
    return made.try_emplace(name, theme(name)).first->second;
}

double rms(std::span<const float> x) {
    double sum = 0;
    for (float v : x) sum += double(v) * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

// Through a second rate and back, as a sound server running at 44.1 kHz would pass it.
std::vector<float> throughRate(const std::vector<float>& x, int via) {
    auto convert = [](const std::vector<float>& in, int from, int to) {
        SwrContext* swr = nullptr;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        if (swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, to, &mono, AV_SAMPLE_FMT_FLT, from,
                                0, nullptr) < 0 ||
            swr_init(swr) < 0)
            throw std::runtime_error("resampler unavailable");
        std::vector<float> out(std::size_t(double(in.size()) * to / from) + 256);
        auto* o = reinterpret_cast<uint8_t*>(out.data());
        const auto* i = reinterpret_cast<const uint8_t*>(in.data());
        int n = swr_convert(swr, &o, int(out.size()), &i, int(in.size()));
        auto* rest = reinterpret_cast<uint8_t*>(out.data() + n);
        n += swr_convert(swr, &rest, int(out.size()) - n, nullptr, 0);
        swr_free(&swr);
        out.resize(std::size_t(n));
        return out;
    };
    return convert(convert(x, kRate, via), via, kRate);
}

// A mild low-pass that delays nothing: symmetric three taps.
std::vector<float> lowPassed(const std::vector<float>& x) {
    std::vector<float> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = 0.25f * (i > 0 ? x[i - 1] : 0) + 0.5f * x[i] +
                 0.25f * (i + 1 < x.size() ? x[i + 1] : 0);
    return out;
}

enum class Other { none, tone, noise, speech };

// What another program plays, at unit level (tone peak, noise and speech rms).
std::vector<float> unitBackground(Other kind) {
    std::vector<float> x(kRecording, 0.0f);
    if (kind == Other::tone)
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = float(std::sin(2 * std::numbers::pi * 700 * double(i) / kRate));
    if (kind == Other::noise) {
        std::mt19937 rng(7);
        std::normal_distribution<float> n(0, 1);
        for (float& v : x) v = n(rng);
    }
    if (kind == Other::speech) {
        SpeechSignal speech(kRate, 3);
        speech.next(x.data(), x.size());
        const double scale = 1 / rms(x);
        for (float& v : x) v = float(v * scale);
    }
    return x;
}

std::vector<float> background(Other kind, double level) {
    static std::map<Other, std::vector<float>> made;  // slow to make under the sanitizers
    auto& unit = made[kind];
    if (unit.empty()) unit = unitBackground(kind);
    std::vector<float> x = unit;
    for (float& v : x) v = float(v * level);
    return x;
}

}  // namespace

TEST(SoundFinderTest, FindsTheSoundWhereItLiesAndNowhereElse) {
    enum class Alter { none, resampled, lowPassed, headDropped };
    const struct Case {
        const char* name;
        const char* sought;
        const char* played;  // nullptr: only the other program plays
        float gain;
        Other other;
        double level;       // tone peak; noise or speech rms relative to the played sound's rms
        double from, to;    // the recorded part of the sound, as fractions of its length
        double minOverlap;  // as a fraction of the sound's length
        Alter alter;
        bool found;
    } cases[] = {
        {"quiet, alone", kAdded, kAdded, 0.05f, Other::none, 0, 0, 1, 0.2, Alter::none, true},
        {"loud, alone", kAdded, kAdded, 1.0f, Other::none, 0, 0, 1, 0.2, Alter::none, true},
        {"under a tone", kAdded, kAdded, 0.1f, Other::tone, 0.5, 0, 1, 0.2, Alter::none, true},
        {"long one under a tone", kComplete, kComplete, 0.1f, Other::tone, 0.5, 0, 1, 0.2,
         Alter::none, true},
        {"10 dB under noise", kAdded, kAdded, 0.3f, Other::noise, 3.16, 0, 1, 0.2, Alter::none,
         true},
        {"long one 10 dB under noise", kComplete, kComplete, 0.3f, Other::noise, 3.16, 0, 1, 0.2,
         Alter::none, true},
        {"under speech", kAdded, kAdded, 0.3f, Other::speech, 1.0, 0, 1, 0.2, Alter::none, true},
        {"recording starts inside", kAdded, kAdded, 0.5f, Other::none, 0, 0.6, 1, 0.2, Alter::none,
         true},
        {"recording starts inside the long one", kComplete, kComplete, 0.3f, Other::none, 0, 0.6, 1,
         0.2, Alter::none, true},
        {"recording starts inside, under a tone", kAdded, kAdded, 0.1f, Other::tone, 0.5, 0.6, 1,
         0.2, Alter::none, true},
        {"recording stops inside", kAdded, kAdded, 0.5f, Other::none, 0, 0, 0.3, 0.2, Alter::none,
         true},
        {"too little recorded", kAdded, kAdded, 0.5f, Other::none, 0, 0, 0.3, 0.5, Alter::none,
         false},
        {"through 44.1 kHz", kAdded, kAdded, 0.7f, Other::none, 0, 0, 1, 0.2, Alter::resampled,
         true},
        {"long one through 44.1 kHz under speech", kComplete, kComplete, 0.7f, Other::speech, 1.0,
         0, 1, 0.2, Alter::resampled, true},
        {"low-passed under noise", kAdded, kAdded, 0.6f, Other::noise, 1.0, 0, 1, 0.2,
         Alter::lowPassed, true},
        // A server that rewinds the speakers for a new stream may leave its first tenth of a
        // second out of what it records of them.
        {"its first tenth missing, under a tone", kAdded, kAdded, 0.1f, Other::tone, 0.5, 0, 1, 0.2,
         Alter::headDropped, true},
        {"tone alone", kAdded, nullptr, 0, Other::tone, 0.5, 0, 1, 0.2, Alter::none, false},
        {"noise alone", kAdded, nullptr, 0, Other::noise, 0.1, 0, 1, 0.2, Alter::none, false},
        {"speech alone", kAdded, nullptr, 0, Other::speech, 0.1, 0, 1, 0.2, Alter::none, false},
        {"the bell instead", kAdded, "bell", 0.5f, Other::none, 0, 0, 1, 0.2, Alter::none, false},
        {"a message sound instead", kAdded, "message-new-instant", 0.5f, Other::none, 0, 0, 1, 0.2,
         Alter::none, false},
        // The cues and the notice's sound are not taken for one another.
        {"the other cue, 10 dB under noise", kRemoved, kRemoved, 0.3f, Other::noise, 3.16, 0, 1,
         0.2, Alter::none, true},
        {"the start cue for the stop cue", kRemoved, kAdded, 0.5f, Other::none, 0, 0, 1, 0.2,
         Alter::none, false},
        {"the start cue for the stop cue, under a tone", kRemoved, kAdded, 0.3f, Other::tone, 0.5,
         0, 1, 0.2, Alter::none, false},
        {"the start cue for the stop cue, under noise", kRemoved, kAdded, 0.3f, Other::noise, 3.16,
         0, 1, 0.2, Alter::none, false},
        {"the start cue for the stop cue, under speech", kRemoved, kAdded, 0.3f, Other::speech, 1.0,
         0, 1, 0.2, Alter::none, false},
        {"the start cue for the stop cue, its end recorded", kRemoved, kAdded, 0.5f, Other::none, 0,
         0.5, 1, 0.2, Alter::none, false},
        {"the stop cue for the start cue", kAdded, kRemoved, 0.5f, Other::none, 0, 0, 1, 0.2,
         Alter::none, false},
        {"the stop cue for the start cue, under a tone", kAdded, kRemoved, 0.3f, Other::tone, 0.5,
         0, 1, 0.2, Alter::none, false},
        {"the stop cue for the start cue, under noise", kAdded, kRemoved, 0.3f, Other::noise, 3.16,
         0, 1, 0.2, Alter::none, false},
        {"the stop cue for the start cue, under speech", kAdded, kRemoved, 0.3f, Other::speech, 1.0,
         0, 1, 0.2, Alter::none, false},
        {"the stop cue for the start cue, its start recorded", kAdded, kRemoved, 0.5f, Other::none,
         0, 0, 0.5, 0.2, Alter::none, false},
        {"a cue for the prompt's sound", kComplete, kAdded, 0.5f, Other::tone, 0.5, 0, 1, 0.2,
         Alter::none, false},
        {"the prompt's sound for a cue", kRemoved, kComplete, 0.5f, Other::none, 0, 0, 1, 0.2,
         Alter::none, false},
        {"the notice's sound for the stop cue", kRemoved, kNotice, 0.5f, Other::none, 0, 0, 1, 0.2,
         Alter::none, false},
        {"the notice's sound for the stop cue, under a tone", kRemoved, kNotice, 0.5f, Other::tone,
         0.5, 0, 1, 0.2, Alter::none, false},
        {"the notice's sound for the start cue, under speech", kAdded, kNotice, 0.5f, Other::speech,
         1.0, 0, 1, 0.2, Alter::none, false},
        {"the notice's sound for the prompt's sound", kComplete, kNotice, 0.5f, Other::none, 0, 0,
         1, 0.2, Alter::none, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<float>& shape = theme(c.sought);
        std::vector<float> played = c.played ? theme(c.played) : std::vector<float>{};
        if (c.alter == Alter::resampled) played = throughRate(played, 44100);
        if (c.alter == Alter::lowPassed) played = lowPassed(played);
        if (c.alter == Alter::headDropped)
            std::fill_n(played.begin(), std::min<std::size_t>(played.size(), kRate / 10), 0.0f);
        for (float& v : played) v *= c.gain;
        const double level = c.other == Other::tone || !c.played ? c.level : c.level * rms(played);
        std::vector<float> timeline = background(c.other, level);
        const std::ptrdiff_t at = 61237;  // odd, so that no block or window boundary hides a miss
        for (std::size_t i = 0; i < played.size(); ++i) timeline[std::size_t(at) + i] += played[i];

        const auto length = double(shape.size());
        const std::ptrdiff_t from = c.from > 0 ? at + std::ptrdiff_t(c.from * length) : 0;
        const std::ptrdiff_t to =
            c.to < 1 ? at + std::ptrdiff_t(c.to * length) : std::ptrdiff_t(timeline.size());
        const std::span<const float> recorded(timeline.data() + from, std::size_t(to - from));
        // The app's cues, as a recording knows them.
        static const std::vector<SoundFinder> cues{finder(kAdded), finder(kRemoved),
                                                   finder(kComplete)};
        const auto found =
            finder(c.sought).find(recorded, std::size_t(c.minOverlap * length), cues);
        if (!c.found)
            EXPECT_FALSE(found) << "at " << *found;
        else if (!found)
            ADD_FAILURE() << "not found";
        else
            EXPECT_NEAR(double(*found), double(at - from), 2);
    }
}

TEST(SoundFinderTest, BadInputIsNotFoundAndNeverCrashes) {
    const std::vector<float>& added = theme(kAdded);
    std::vector<float> recording(kRate, 0.0f);
    std::copy(added.begin(), added.end(), recording.begin() + 1000);
    const SoundFinder finder(added);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    EXPECT_FALSE(SoundFinder({}).find(recording, 1));
    EXPECT_EQ(SoundFinder({}).length(), 0u);
    EXPECT_FALSE(SoundFinder(std::vector<float>(500, nan)).find(recording, 1));
    EXPECT_FALSE(SoundFinder(std::vector<float>(500, 0.0f)).find(recording, 1));
    EXPECT_FALSE(finder.find({}, 1));
    EXPECT_FALSE(finder.find(std::vector<float>(kRate, 0.0f), 1));
    EXPECT_FALSE(finder.find(std::vector<float>(kRate, nan), 1));
    EXPECT_FALSE(finder.find(std::vector<float>(kRate, 3e38f), 1));
    EXPECT_FALSE(finder.find(std::vector<float>(kRate, 1e-30f), 1));
    EXPECT_FALSE(finder.find(recording, added.size() + 1));
    EXPECT_FALSE(finder.find(std::span(recording).first(10), 5));
    // Too short to hold any of it away from its faded edges.
    EXPECT_FALSE(finder.find(std::span(recording).first(1500), 1));
    EXPECT_FALSE(finder.find(std::span(recording).subspan(10500, 1500), 1));
    // No minimum overlap is no hindrance; damaged samples count as silence.
    EXPECT_EQ(finder.find(recording, 0), 1000);
    recording[20000] = nan;
    recording[20001] = inf;
    recording[20002] = -inf;
    EXPECT_EQ(finder.find(recording, 1), 1000);
}

// The app's cues share their notes: the stop cue is the start cue's two notes the other way
// round. Each is found where it was played, and neither is taken for the other, also where one
// runs past an edge of the searched audio, lies under a steady tone, or follows the other at a
// quarter of its level.
TEST(SoundFinderTest, TellsTheAppsCuesApart) {
    constexpr std::size_t kLong = kRate * 7 / 2;  // as much as a capture searches
    constexpr std::size_t kShort = kRate * 8 / 5;
    struct Played {
        const char* sound;
        std::ptrdiff_t at;  // its first sample; `fromEnd`: how far its last one lies from the end
        double db = 0;
        bool fromEnd = false;
    };
    struct Case {
        std::string name;
        std::size_t length;
        std::vector<Played> played;
        const char* sought;
        int found;  // which of the played sounds is found, or -1 for none
        double toneHz = 0, toneDbfs = 0;
    };
    std::vector<Case> cases = {
        {"stop cue whole, start cue sought", kShort, {{kRemoved, 7660}}, kAdded, -1},
        {"stop cue whole", kShort, {{kRemoved, 7660}}, kRemoved, 0},
        {"start cue whole, stop cue sought", kShort, {{kAdded, 7249}}, kRemoved, -1},
        {"start cue whole", kShort, {{kAdded, 7249}}, kAdded, 0},
        {"stop cue at the end, start cue sought", kShort, {{kRemoved, 1863, 0, true}}, kAdded, -1},
        {"stop cue at the end", kShort, {{kRemoved, 1863, 0, true}}, kRemoved, 0},
        {"start cue at the end, stop cue sought", kShort, {{kAdded, 1863, 0, true}}, kRemoved, -1},
        {"start cue's first note cut off", kLong, {{kAdded, -3000}}, kAdded, 0},
        {"start cue's first note cut off, stop cue sought", kLong, {{kAdded, -3000}}, kRemoved, -1},
        {"stop cue's first note cut off", kLong, {{kRemoved, -3000}}, kRemoved, 0},
        {"stop cue's first note cut off, start cue sought", kLong, {{kRemoved, -3000}}, kAdded, -1},
        {"start cue's last note cut off", kLong, {{kAdded, -3000, 0, true}}, kAdded, 0},
        {"start cue's last note cut, stop sought", kLong, {{kAdded, -3000, 0, true}}, kRemoved, -1},
        // As at a recording's stop.
        {"stop cue's last note cut off", kLong, {{kRemoved, -3000, 0, true}}, kRemoved, 0},
        {"stop cue's last note cut, start sought", kLong, {{kRemoved, -3000, 0, true}}, kAdded, -1},
        {"start after prompt", kLong, {{kComplete, 20000}, {kAdded, 90000, -12}}, kAdded, 1},
        {"stop after start", kLong, {{kAdded, 20000}, {kRemoved, 40000, -12}}, kRemoved, 1},
    };
    // After the previous recording's stop cue, at a quarter of its level.
    for (const std::ptrdiff_t stop : {3000, 30000})
        for (const int gap : {0, 100, 500, 2000})
            cases.push_back({"start cue 12 dB under the stop cue " + std::to_string(gap) +
                                 " ms before, from " + std::to_string(stop),
                             kLong,
                             {{kRemoved, stop}, {kAdded, stop + (250 + gap) * kRate / 1000, -12}},
                             kAdded,
                             1});
    // Under a steady tone, where the cues' notes lose much of what tells them apart.
    for (const int hz : {1100, 1300, 1500, 1700, 1900})
        for (const int dbfs : {-40, -30, -20, -10})
            cases.push_back({"start cue under " + std::to_string(hz) + " Hz at " +
                                 std::to_string(dbfs) + " dBFS, stop cue sought",
                             kLong,
                             {{kAdded, 61237}},
                             kRemoved,
                             -1,
                             double(hz),
                             double(dbfs)});
    cases.push_back({"start cue under a tone", kLong, {{kAdded, 61237}}, kAdded, 0, 1500, -20});

    static const std::vector<SoundFinder> cues{finder(kAdded), finder(kRemoved), finder(kComplete)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Next to nothing but the cues: -74 dBFS of noise, and the tone.
        std::vector<float> recorded(c.length);
        std::mt19937 rng(11);
        std::normal_distribution<float> noise(0, float(std::pow(10, -74 / 20.0)));
        const double tone = std::pow(10, c.toneDbfs / 20);
        for (std::size_t i = 0; i < recorded.size(); ++i)
            recorded[i] =
                noise(rng) +
                float(tone * std::sin(2 * std::numbers::pi * c.toneHz * double(i) / kRate));
        std::vector<std::ptrdiff_t> at;
        for (const Played& p : c.played) {
            const std::vector<float>& sound = theme(p.sound);
            const auto size = static_cast<std::ptrdiff_t>(sound.size());
            const std::ptrdiff_t first = p.fromEnd ? std::ptrdiff_t(c.length) - p.at - size : p.at;
            const double gain = std::pow(10, p.db / 20);
            for (std::ptrdiff_t i = std::max<std::ptrdiff_t>(0, -first);
                 i < size && first + i < std::ptrdiff_t(c.length); ++i)
                recorded[std::size_t(first + i)] += float(gain * sound[std::size_t(i)]);
            at.push_back(first);
        }
        const auto found = finder(c.sought).find(recorded, kRate * 3 / 100, cues);
        if (c.found < 0)
            EXPECT_FALSE(found) << "at " << *found;
        else if (!found)
            ADD_FAILURE() << "not found";
        else
            EXPECT_NEAR(double(*found), double(at[std::size_t(c.found)]), 2);
    }
}

// Searches for two sounds, each told from the other, run at once on two threads; a finder's copy
// shares what it made.
TEST(SoundFinderTest, SearchesAtOnceForSoundsAlikeEachOther) {
    const std::vector<SoundFinder> cues{finder(kAdded), finder(kRemoved)};
    std::vector<float> recording(kRecording / 2, 0.0f);
    const std::ptrdiff_t at[] = {3001, 40003};
    for (std::size_t cue = 0; cue < 2; ++cue) {
        const std::vector<float>& sound = theme(cue == 0 ? kAdded : kRemoved);
        for (std::size_t i = 0; i < sound.size(); ++i)
            recording[std::size_t(at[cue]) + i] += sound[i];
    }
    std::atomic<int> wrong = 0;
    const auto search = [&](std::size_t cue) {
        for (int i = 0; i < 10; ++i)
            if (cues[cue].find(recording, kRate / 20, cues) != at[cue]) ++wrong;
    };
    std::thread startCue(search, 0), stopCue(search, 1);
    startCue.join();
    stopCue.join();
    EXPECT_EQ(wrong, 0);
    const SoundFinder copy = cues[1];
    EXPECT_EQ(copy.length(), cues[1].length());
    EXPECT_EQ(copy.find(recording, kRate / 20, cues), at[1]);
}
