// One MeetingVision pass, screenshot and recognition, over a 1280x800 meeting-like window with
// twelve name tiles and a toolbar. Needs an X display (run it under scripts/test-env.sh).
// Figures: wall milliseconds per pass and the process's CPU time (Tesseract may use OpenMP
// threads; OMP_THREAD_LIMIT=1 keeps it to one core).
#include "engine/MeetingVision.h"
#include "engine/X11VisionBackend.h"
#include "platform/WindowCapture.h"

#include "platform/fixtures/FixtureWindow.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdio>

namespace {

void BM_OcrPass(benchmark::State& state) {
    X11VisionBackend backend;
    // The first pass also loads the model (about 70 ms); a recording pays that once.
    if (auto image = backend.captureMeetingWindow()) backend.recognizeText(*image);
    std::size_t names = 0;
    for (auto _ : state) {
        auto image = backend.captureMeetingWindow();
        if (!image) {
            state.SkipWithError("no meeting window to read");
            return;
        }
        const auto lines = backend.recognizeText(*image);
        if (!lines) {
            state.SkipWithError("recognition failed");
            return;
        }
        names = 0;
        for (const auto& line : *lines)
            if (MeetingVision::nameCandidate(line)) ++names;
        benchmark::DoNotOptimize(names);
    }
    state.counters["names"] = double(names);
}
BENCHMARK(BM_OcrPass)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!WindowCapture::displayAvailable()) {
        std::fprintf(stderr, "bench_ocr: no X display\n");
        return 1;
    }
    FixtureWindow window({"--instance",   "zoom",       "--class",       "zoom",      "--title",
                          "Zoom Meeting", "--size",     "1280x800",      "--font-px", "14",
                          "--toolbar",    "山田太郎",   "佐藤花子",      "鈴木一郎",  "高橋美咲",
                          "田中健太",     "伊藤さくら", "Alice Johnson", "Bob Smith", "Carol White",
                          "David Lee",    "Emma Brown", "Frank Miller"});
    auto capture = WindowCapture::open();
    if (!capture || !window.paintedScreenshot(*capture)) {
        std::fprintf(stderr, "bench_ocr: the meeting window did not come up\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
