#pragma once
// Finds where a known sound lies in recorded audio, also under other sounds and where the
// recording starts or ends inside it.
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class SoundFinder {
public:
    // `shape`: the sound's mono samples at the recording's rate. A silent shape, or one longer
    // than about 2.6 s at 48 kHz, is never found.
    explicit SoundFinder(std::vector<float> shape);
    std::size_t length() const;
    // Where the sound's first sample lies in `recorded` (mono, same rate); negative when the
    // recording starts inside the sound, and the sound may run past the end of `recorded`.
    // Empty when the sound is not there, or when fewer than `minOverlap` of its samples lie in
    // `recorded`. A sound whose start is missing from `recorded` (a server may drop a new stream's
    // first moments from what it records) is found where none of the `alike` sounds, other
    // sounds that may play, is heard in full instead; a sound like it that is not among them
    // may then be taken for it.
    std::optional<std::ptrdiff_t> find(std::span<const float> recorded, std::size_t minOverlap,
                                       std::span<const SoundFinder> alike = {}) const;

private:
    struct Transforms;

    // `whole`: only where all of the sound that lies in `recorded` is heard.
    std::optional<std::ptrdiff_t> locate(std::span<const float> recorded, std::size_t minOverlap,
                                         std::span<const SoundFinder> alike, bool whole) const;

    std::vector<float> shape_;
    std::shared_ptr<Transforms> transforms_;
    std::size_t block_ = 0;        // transform length; 0 when the shape cannot be sought
    std::vector<float> spectrum_;  // the shape's spectrum at that length, interleaved re/im
    std::vector<double> power_;    // the shape's mean power per frequency in short windows
};
