// The hotkey recogniser sees every key event of the whole desktop; each event must cost a
// constant, small amount of work (two settings reads and a few comparisons).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>

#include "desktop/HotkeyRecognizer.h"
#include "util/UserDefaults.h"

namespace {

// Typing: a letter, with the chosen modifier tapped now and then.
void BM_RecognizerPerEvent(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("tavro-bench-hotkey-" + std::to_string(getpid()) + ".json");
    {
        UserDefaults defaults(file);
        defaults.set("hotkeyInterval", 0.45);
        double now = 0;
        HotkeyRecognizer r([&now] { return now; }, defaults);
        int i = 0;
        for (auto _ : state) {
            now += 0.01;
            switch (i++ % 4) {
                case 0:
                    r.keyDown();
                    break;
                case 1:
                    benchmark::DoNotOptimize(r.flagsChanged(HotkeyRecognizer::command));
                    break;
                default:
                    benchmark::DoNotOptimize(r.flagsChanged(0));
                    break;
            }
        }
        state.SetItemsProcessed(state.iterations());
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_RecognizerPerEvent);

}  // namespace

BENCHMARK_MAIN();
