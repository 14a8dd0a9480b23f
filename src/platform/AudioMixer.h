#pragma once
// Overlays audio files on one timeline and encodes the sum as AAC. Works in small blocks, so two
// hour-long tracks cost a few megabytes, not gigabytes.
#include <filesystem>
#include <vector>

#include "platform/AacFileWriter.h"

struct MixTrack {
    std::filesystem::path path;
    double delaySeconds = 0;  // where the track starts on the mixed timeline; negative counts as 0
};

// Writes the mix of `tracks` to `out` with `settings`. Every track keeps its full level and the
// sum is clamped to full scale. The mix ends where the last track ends. The result is written
// under a temporary name beside `out` and renamed onto it only when complete, so a failed mix
// leaves `out` as it was.
// Throws AudioError (mixFailed) when a track holds no audio, std::runtime_error with the
// library's reason when a file cannot be read or the result cannot be written.
void mixAudioFiles(const std::vector<MixTrack>& tracks, const std::filesystem::path& out,
                   const AacSettings& settings);
