// Mixing two hour-long recordings (microphone 24 kHz mono, computer audio 48 kHz stereo, the
// second starting 1.5 s later) against the ffmpeg command line doing the same job. Both run as
// child processes so that their CPU time and peak memory are measured alike.
// `bench_mix --mix-only <mic> <sys> <out>` runs our mix alone (for /usr/bin/time -v).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SpeechSignal.h"
#include "platform/AacFileWriter.h"
#include "platform/AudioMixer.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr double kMinutes = 60;
constexpr double kOffset = 1.5;
constexpr AacSettings kMic{24000, 1, 48000};
constexpr AacSettings kSys{48000, 2, 96000};

void generate(const fs::path& path, const AacSettings& s, std::uint32_t seed) {
    if (fs::exists(path)) return;
    const fs::path tmp = path.string() + ".tmp";
    {
        AacFileWriter w(tmp, s);
        SpeechSignal speech(s.sampleRate, seed);
        std::vector<float> mono(4096), frames(4096 * s.channels);
        const auto total = static_cast<std::int64_t>(kMinutes * 60 * s.sampleRate);
        for (std::int64_t done = 0; done < total; done += 4096) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(4096, total - done));
            speech.next(mono.data(), n);
            for (std::size_t i = 0; i < n; ++i)
                for (int c = 0; c < s.channels; ++c) frames[i * s.channels + c] = mono[i];
            w.write(frames.data(), n);
        }
        w.finish();
    }
    fs::rename(tmp, path);
}

struct Files {
    fs::path dir = fs::temp_directory_path() / "tavro-bench-mix";
    fs::path mic = dir / "mic.m4a";
    fs::path sys = dir / "sys.m4a";
    Files() {
        fs::create_directories(dir);
        std::fprintf(stderr, "bench_mix: preparing two %g-minute tracks in %s (kept for reruns)\n",
                     kMinutes, dir.c_str());
        generate(mic, kMic, 1);
        generate(sys, kSys, 2);
    }
};

const Files& files() {
    static const Files f;
    return f;
}

struct Usage {
    double wall = 0;
    double cpu = 0;
    double peakMB = 0;
    int status = -1;
};

Usage run(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    Usage u;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return u;
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    u.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    u.cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
            ru.ru_stime.tv_usec / 1e6;
    u.peakMB = ru.ru_maxrss / 1024.0;
    u.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return u;
}

std::string self;
Usage ours, theirs;

void report(benchmark::State& state, const Usage& u) {
    if (u.status != 0) state.SkipWithError("the mixing process failed");
    state.SetIterationTime(u.wall);
    state.counters["cpu_s"] = u.cpu;
    state.counters["peak_MB"] = u.peakMB;
}

void BM_MixOurs(benchmark::State& state) {
    const Files& f = files();
    for (auto _ : state) {
        ours = run({self, "--mix-only", f.mic.string(), f.sys.string(),
                    (f.dir / "ours-mix.m4a").string()});
        report(state, ours);
    }
}

void BM_MixFfmpeg(benchmark::State& state) {
    const Files& f = files();
    for (auto _ : state) {
        theirs =
            run({"ffmpeg", "-loglevel", "error", "-y", "-i", f.mic.string(), "-i", f.sys.string(),
                 "-filter_complex", "[1]adelay=1500:all=1[d];[0][d]amix=inputs=2:normalize=0",
                 "-ar", "24000", "-ac", "1", "-b:a", "48k", (f.dir / "ffmpeg-mix.m4a").string()});
        report(state, theirs);
    }
}

BENCHMARK(BM_MixOurs)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_MixFfmpeg)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--mix-only") == 0) {
        mixAudioFiles({{argv[2], 0}, {argv[3], kOffset}}, argv[4], kMic);
        return 0;
    }
    self = fs::canonical("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ours.wall > 0 && theirs.wall > 0)
        std::printf(
            "mix of two %g-minute tracks: ours %.2f s wall, %.2f s CPU, %.1f MB peak; "
            "ffmpeg %.2f s wall, %.2f s CPU, %.1f MB peak; ratio ours/ffmpeg %.2f (wall), "
            "%.2f (CPU)\n",
            kMinutes, ours.wall, ours.cpu, ours.peakMB, theirs.wall, theirs.cpu, theirs.peakMB,
            ours.wall / theirs.wall, ours.cpu / theirs.cpu);
    return 0;
}
