// Records the microphone and the computer's audio in a process of its own: until it is killed (the
// kill test's subject), or for a set time, after which it stops, mixes the two files and says how
// long it recorded and how much its memory grew meanwhile (the clock-step test's subject, run with
// its wall clock set by the test).
// Usage: tavro_record_child <mic.m4a> <sys.m4a> <ready-marker> [<seconds> <mix.m4a>]
// With a time, "<ready-marker>.done" gets "recorded <seconds> grewKb <kB>" at the end.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "engine/MicrophoneRecorder.h"
#include "engine/SystemAudioCapture.h"

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 6) {
        std::cerr << "usage: tavro_record_child <mic.m4a> <sys.m4a> <ready-marker> [<seconds> "
                     "<mix.m4a>]\n";
        return 2;
    }
    try {
        using Clock = std::chrono::steady_clock;
        MicrophoneRecorder mic(argv[1]);
        mic.record();
        const auto micStartedAt = mic.startedAt();
        SystemAudioCapture sys;
        sys.start(argv[2]);
        // An idle sink may take seconds to deliver; the computer's track begins with its first
        // sample, so the test's clock starts there too.
        while (!sys.firstSampleAt()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const long rssAtReady = statusKb("VmRSS");
        std::ofstream(argv[3]) << "recording\n";
        if (argc == 4)
            for (;;) pause();
        std::this_thread::sleep_until(micStartedAt + std::chrono::duration<double>(std::stod(argv[4])));
        mic.stop();
        const double recorded = std::chrono::duration<double>(Clock::now() - micStartedAt).count();
        const auto sysFile = sys.stop();
        const long grew = statusKb("VmHWM") - rssAtReady;
        if (!sysFile) throw std::runtime_error("no audio of the computer's");
        SystemAudioCapture::mix(argv[1], micStartedAt, *sysFile, *sys.firstSampleAt(), argv[5]);
        std::ofstream(std::string(argv[3]) + ".done") << "recorded " << recorded << " grewKb " << grew
                                                      << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
