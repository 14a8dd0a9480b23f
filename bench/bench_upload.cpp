// Memory while a long recording goes to the service through the upload address. The file is
// streamed from disk, so the peak should grow by the transfer buffers only, not by the file.
//
// TAVRO_BENCH_UPLOAD_MB sets the recording's size (default 200). bench_upload.sh runs this
// program under /usr/bin/time -v at 4 MB and at 200 MB and prints the difference of the peaks.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "service/TavroAPI.h"

namespace {

std::size_t recordingBytes() {
    const char* mb = std::getenv("TAVRO_BENCH_UPLOAD_MB");
    return static_cast<std::size_t>(mb ? std::atol(mb) : 200) * 1000 * 1000;
}

// Peak resident memory (VmHWM) or current (VmRSS) in kB.
long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size() + 1);
    return -1;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string writeRecording(std::size_t size) {
    char name[] = "/tmp/tavro-bench-upload-XXXXXX";
    const int fd = mkstemp(name);
    std::mt19937 random(1);
    std::string block(1 << 20, '\0');
    for (auto& c : block) c = static_cast<char>(random());
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(block.size(), size - done);
        if (write(fd, block.data(), n) != static_cast<ssize_t>(n)) std::abort();
        done += n;
    }
    close(fd);
    return name;
}

void BM_UploadRecording(benchmark::State& state) {
    FakeService service;
    service.setRecordedBodyLimit(0);  // the fake only counts what arrives
    ScopedServiceUrl url(service.baseUrl());
    const std::size_t size = recordingBytes();
    const std::string path = writeRecording(size);

    long growth = 0;
    for (auto _ : state) {
        resetPeak();
        const long before = statusKb("VmRSS:");
        benchmark::DoNotOptimize(TavroAPI::process(path, "standard", std::nullopt));
        growth = std::max(growth, statusKb("VmHWM:") - before);
    }
    unlink(path.c_str());
    state.counters["recording_MB"] = static_cast<double>(size) / 1e6;
    state.counters["peak_growth_MB"] = static_cast<double>(growth) / 1024.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_UploadRecording)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
