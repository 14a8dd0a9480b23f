// Start-up load of a large library against merely reading the same files.
// 2,000 records the size of a one-hour meeting (about 40 KB of JSON, 400 transcript lines).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "library/MinutesStore.h"
#include "util/AtomicFile.h"
#include "util/UserDefaults.h"
#include "util/Uuid.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 2000;
constexpr int kLines = 400;

const char* const kPhrases[] = {
    "来週までに見積もりを作成して共有します", "その件は先方の確認が取れ次第進めましょう",
    "予算については前回の会議で承認済みです", "スケジュールが少し遅れているので調整が必要です",
    "はい、承知しました。資料を確認します",   "次回の定例で進捗を報告してください",
};
const char* const kSpeakers[] = {"田中", "佐藤", "鈴木", "高橋"};

MinutesResult meeting(std::mt19937& rng, int n) {
    MinutesResult r;
    r.title = "週次定例ミーティング 第" + std::to_string(n) + "回";
    r.meta = MinutesMeta{"2025-03-07", "会議室A", std::vector<std::string>{"田中", "佐藤", "鈴木"}};
    r.summary = "プロジェクトの進捗と来期の予算について確認した。";
    for (int i = 0; i < 6; ++i) r.keyPoints.push_back(kPhrases[rng() % 6]);
    for (int i = 0; i < 3; ++i) r.decisions.push_back(kPhrases[rng() % 6]);
    for (int i = 0; i < 5; ++i)
        r.todos.push_back(TodoItem{kPhrases[rng() % 6], kSpeakers[rng() % 4], "3/14",
                                   std::vector<std::int64_t>{i}, i == 0});
    for (int i = 0; i < kLines; ++i) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d", i / 7 % 60, i % 60);
        r.transcript.push_back(
            TranscriptLine{kSpeakers[rng() % 4], std::string(time),
                           std::string(kPhrases[rng() % 6]) + "。" + kPhrases[rng() % 6]});
    }
    return r;
}

struct Library {
    fs::path root;
    std::size_t bytes = 0;
    Library() {
        root = fs::temp_directory_path() / ("tavro-bench-" + uuid::make());
        fs::create_directories(root / "minutes");
        std::mt19937 rng(42);
        const auto start = std::chrono::system_clock::now();
        for (int i = 0; i < kRecords; ++i) {
            MinutesRecord rec{uuid::make(), start - std::chrono::hours(i), "minutes", "rec.m4a",
                              meeting(rng, i)};
            const auto text = json::dumpCompact(rec.toJson());
            bytes += text.size();
            atomicfile::write(root / "minutes" / (rec.id + ".json"), text);
        }
    }
    ~Library() { fs::remove_all(root); }
};

Library& library() {
    static Library lib;
    return lib;
}

void BM_BareRead(benchmark::State& state) {
    auto& lib = library();
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
    for (auto _ : state) {
        MinutesStore store(defaults, lib.root, lib.root / "no-legacy");
        if (store.records().size() != kRecords) state.SkipWithError("records missing");
    }
    state.SetBytesProcessed(state.iterations() * lib.bytes);
}

BENCHMARK(BM_BareRead)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StoreLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Keeps each run's mean wall time so the ratio can be printed at the end.
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
    const double bare = reporter.seconds["BM_BareRead/min_time:2.000/real_time"];
    const double load = reporter.seconds["BM_StoreLoad/min_time:2.000/real_time"];
    if (bare > 0 && load > 0)
        std::printf("bare read %.1f ms, store load %.1f ms, ratio %.2fx (target <= 4x, < 500 ms)\n",
                    bare * 1e3, load * 1e3, load / bare);
    benchmark::Shutdown();
    return 0;
}
