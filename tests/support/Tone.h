#pragma once
// Test tones: a sine written with sox, and a Goertzel detector to find one in recorded audio.
#include <filesystem>
#include <span>

namespace testsupport {

class Tone {
public:
    // A 16-bit WAV of a sine at `hz` with peak `amplitude` (0..1); false if sox failed.
    static bool writeWav(const std::filesystem::path& path, double hz, double seconds,
                         double amplitude = 0.5, int rate = 48000, int channels = 1);
    // The amplitude (peak, 0..1) of the `hz` component in mono samples at `rate`.
    static double amplitudeAt(std::span<const float> samples, int rate, double hz);
};

}  // namespace testsupport
