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
    // than about 2.6 s at 48 kHz, is never found. Making a finder costs more than a search: make
    // it once and keep it. Copies are cheap and share what it made. Any thread may search; searches
    // that use the same finder, sought or alike, take turns.
    explicit SoundFinder(std::vector<float> shape);
    std::size_t length() const;
    // Where the sound's first sample lies in `recorded` (mono, same rate); negative when the
    // recording starts inside the sound, and the sound may run past the end of `recorded`.
    // Empty when the sound is not there, or when fewer than `minOverlap` of its samples lie in
    // `recorded`. A sound whose start is missing from `recorded` (a server may drop a new stream's
    // first moments from what it records) is judged from where it is heard. What one of the
    // `alike` sounds, other sounds that may play, explains as well, whole or cut off by an edge of
    // `recorded`, is not taken for this sound; a sound like it that is not among them may be.
    // This sound among them, also under another name, is passed over.
    std::optional<std::ptrdiff_t> find(std::span<const float> recorded, std::size_t minOverlap,
                                       std::span<const SoundFinder> alike = {}) const;

private:
    struct Sound;
    struct Transforms;

    std::size_t length_ = 0;
    std::shared_ptr<const Sound> sound_;  // null when the shape cannot be sought
    std::shared_ptr<Transforms> transforms_;
};
