// Start-up load of a large library against merely reading the same files, on every core and on
// one: 2,000 records the size of a one-hour meeting.
#include <benchmark/benchmark.h>
#include <sched.h>

#include <cstdio>
#include <map>

#include "StoredLibrary.h"
#include "library/MinutesStore.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 2000;

StoredLibrary& library() {
    static StoredLibrary lib(kRecords);
    return lib;
}

// While alive, this thread and every thread it starts run on a single core (range(0) == 1).
class Cores {
public:
    explicit Cores(const benchmark::State& state) {
        sched_getaffinity(0, sizeof saved_, &saved_);
        if (state.range(0) != 1) return;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int c = 0; c < CPU_SETSIZE; ++c) {
            if (!CPU_ISSET(c, &saved_)) continue;
            CPU_SET(c, &one);
            break;
        }
        sched_setaffinity(0, sizeof one, &one);
    }
    ~Cores() { sched_setaffinity(0, sizeof saved_, &saved_); }

private:
    cpu_set_t saved_;
};

void BM_BareRead(benchmark::State& state) {
    auto& lib = library();
    Cores cores(state);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& e : fs::directory_iterator(lib.root / "minutes"))
            total += atomicfile::read(e.path())->size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * lib.bytes);
}

void BM_StoreLoad(benchmark::State& state) {
    auto& lib = library();
    UserDefaults defaults(lib.root / "defaults.json");
    Cores cores(state);
    for (auto _ : state) {
        MinutesStore store(defaults, lib.root, lib.root / "no-legacy");
        if (store.records().size() != kRecords) state.SkipWithError("records missing");
    }
    state.SetBytesProcessed(state.iterations() * lib.bytes);
}

// Argument: 0 = every core, 1 = one core.
BENCHMARK(BM_BareRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StoreLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Keeps each run's mean wall time so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                seconds[r.benchmark_name()] = r.real_accumulated_time / r.iterations;
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("library: %d records, %.1f MB of JSON\n", kRecords, library().bytes / 1e6);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* cores : {"0", "1"}) {
        const std::string suffix = std::string("/") + cores + "/min_time:2.000/real_time";
        const double bare = reporter.seconds["BM_BareRead" + suffix];
        const double load = reporter.seconds["BM_StoreLoad" + suffix];
        if (bare > 0 && load > 0)
            std::printf("%s: bare read %.1f ms, store load %.1f ms, ratio %.2fx%s\n",
                        *cores == '0' ? "all cores" : "one core", bare * 1e3, load * 1e3,
                        load / bare, *cores == '0' ? " (target <= 4x)" : "");
    }
    benchmark::Shutdown();
    return 0;
}
