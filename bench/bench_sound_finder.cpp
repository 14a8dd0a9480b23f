// What a capture of the computer's audio pays for each of the app's cues it leaves out, at 48 kHz:
// one search of the audio the cue may lie in (a quarter of a second before its request, three
// seconds after, and its length), with speech over it, telling it from the app's other cues. The
// finders are made once per recording, before the searches. The capture searches inside its
// audio callback, so a search has to take well under 10 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SpeechSignal.h"
#include "platform/AudioFileReader.h"
#include "platform/SoundFinder.h"

namespace {

constexpr int kRate = 48000;
const char* const kCues[] = {"device-added", "device-removed", "complete"};

std::vector<float> theme(const std::string& name) {
    AudioFileReader reader("/usr/share/sounds/freedesktop/stereo/" + name + ".oga", kRate, 1);
    std::vector<float> all, block(4096);
    while (const std::size_t n = reader.read(block.data(), block.size()))
        all.insert(all.end(), block.begin(), block.begin() + std::ptrdiff_t(n));
    return all;
}

void findCue(benchmark::State& state, int cue) {
    std::vector<SoundFinder> cues;
    std::vector<float> shape;
    for (int i = 0; i < 3; ++i) {
        std::vector<float> s = theme(kCues[i]);
        if (i == cue) shape = s;
        cues.emplace_back(std::move(s));
    }
    std::vector<float> recording(kRate / 4 + 3 * kRate + shape.size());
    SpeechSignal(kRate, 1).next(recording.data(), recording.size());
    for (float& v : recording) v *= 0.2f;
    const std::size_t at = kRate / 2 + 123;
    for (std::size_t i = 0; i < shape.size(); ++i) recording[at + i] += 0.5f * shape[i];
    const SoundFinder& finder = cues[std::size_t(cue)];
    for (auto _ : state) {
        const auto found = finder.find(recording, kRate * 3 / 100, cues);
        if (!found || *found != std::ptrdiff_t(at)) state.SkipWithError("cue not found");
        benchmark::DoNotOptimize(found);
    }
}

void BM_FindStartCue(benchmark::State& state) {
    findCue(state, 0);
}
void BM_FindStopCue(benchmark::State& state) {
    findCue(state, 1);
}
void BM_FindPrompt(benchmark::State& state) {
    findCue(state, 2);
}

}  // namespace

BENCHMARK(BM_FindStartCue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindStopCue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindPrompt)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
