// Recording the microphone and the computer's audio together for 60 s from the test sound
// server (run under scripts/test-env.sh), with speech-like audio playing into both. Reports the
// CPU time of the whole process (every thread) as a percentage of one core.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "SpeechSignal.h"
#include "engine/MicrophoneRecorder.h"
#include "engine/SystemAudioCapture.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 60;

// 16-bit mono WAV of speech-like audio, for the sound server's player.
void writeSpeechWav(const fs::path& path, std::uint32_t seed) {
    constexpr int rate = 48000;
    std::vector<float> samples(static_cast<std::size_t>(rate) * kSeconds);
    SpeechSignal(rate, seed).next(samples.data(), samples.size());
    std::ofstream f(path, std::ios::binary);
    const auto put32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    put32(36 + bytes);
    f.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    f.write("data", 4);
    put32(bytes);
    for (float v : samples) put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767)));
}

pid_t play(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec / 1e6;
}

double percent = -1;

void BM_RecordMicAndSystem(benchmark::State& state) {
    if (!std::getenv("PULSE_SERVER")) {
        state.SkipWithError("no sound server: run under scripts/test-env.sh");
        return;
    }
    const fs::path dir = fs::temp_directory_path() / "tavro-bench-record";
    fs::create_directories(dir);
    writeSpeechWav(dir / "speaker.wav", 3);
    writeSpeechWav(dir / "voice.wav", 4);
    for (auto _ : state) {
        MicrophoneRecorder mic(dir / "rec.m4a");
        SystemAudioCapture sys;
        const pid_t voice = play({"paplay", "-d", "ci_mic_feed", (dir / "voice.wav").string()});
        const pid_t speaker = play({"paplay", (dir / "speaker.wav").string()});
        const double cpu0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        mic.record();
        sys.start(dir / "rec-sys.m4a");
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
        mic.stop();
        sys.stop();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = cpuSeconds() - cpu0;
        for (pid_t p : {voice, speaker})
            if (p > 0) waitpid(p, nullptr, 0);
        percent = 100 * cpu / wall;
        state.SetIterationTime(wall);
        state.counters["cpu_s"] = cpu;
        state.counters["cpu_percent_of_core"] = percent;
    }
}

BENCHMARK(BM_RecordMicAndSystem)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (percent >= 0)
        std::printf("recording microphone and system audio for %d s: %.2f %% of one core\n",
                    kSeconds, percent);
    return 0;
}
