// Records the microphone and the computer's audio until it is killed; the kill test's subject.
// Usage: tavro_record_child <mic.m4a> <sys.m4a> <ready-marker>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "engine/MicrophoneRecorder.h"
#include "engine/SystemAudioCapture.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tavro_record_child <mic.m4a> <sys.m4a> <ready-marker>\n";
        return 2;
    }
    try {
        MicrophoneRecorder mic(argv[1]);
        mic.record();
        SystemAudioCapture sys;
        sys.start(argv[2]);
        // An idle sink may take seconds to deliver; the computer's track begins with its first
        // sample, so the test's clock starts there too.
        while (!sys.firstSampleAt()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ofstream(argv[3]) << "recording\n";
        for (;;) pause();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
