#pragma once
// A deterministic speech-like signal for the audio benchmarks: voiced syllables with a wandering
// pitch and formant-shaped harmonics, some noise, and pauses between phrases. Encoders spend
// about as much effort on it as on real speech, unlike on a pure tone or silence.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

class SpeechSignal {
public:
    SpeechSignal(int sampleRate, std::uint32_t seed) : rate_(sampleRate), rng_(seed) {}

    // The next `frames` samples (mono, peak about 0.5).
    void next(float* out, std::size_t frames) {
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (std::size_t i = 0; i < frames; ++i, ++n_) {
            const double t = static_cast<double>(n_) / rate_;
            if (n_ >= phraseEnd_) newPhrase(t);
            double v = 0;
            if (n_ < speechEnd_) {
                const double syllable = std::max(0.0, std::sin(std::numbers::pi * 4.3 * t));
                const double f0 = pitch_ * (1 + 0.12 * std::sin(2 * std::numbers::pi * 0.7 * t));
                phase_ += f0 / rate_;
                phase_ -= std::floor(phase_);
                for (int h = 1; h <= 18; ++h) {
                    const double f = f0 * h;
                    if (f > rate_ / 2.2) break;
                    // Two broad formants around 600 Hz and 1800 Hz.
                    const double g = 1.0 / (1 + std::pow((f - 600) / 300, 2)) +
                                     0.5 / (1 + std::pow((f - 1800) / 500, 2));
                    v += g * std::sin(2 * std::numbers::pi * phase_ * h) / h;
                }
                v = 0.35 * syllable * v + 0.03 * syllable * noise(rng_);
            }
            out[i] = static_cast<float>(v + 0.002 * noise(rng_));
        }
    }

private:
    void newPhrase(double) {
        std::uniform_real_distribution<double> speech(1.5, 6.0), pause(0.2, 1.2), pitch(95, 230);
        speechEnd_ = n_ + static_cast<std::int64_t>(speech(rng_) * rate_);
        phraseEnd_ = speechEnd_ + static_cast<std::int64_t>(pause(rng_) * rate_);
        pitch_ = pitch(rng_);
    }

    int rate_;
    std::mt19937 rng_;
    std::int64_t n_ = 0;
    std::int64_t speechEnd_ = 0;
    std::int64_t phraseEnd_ = 0;
    double pitch_ = 120;
    double phase_ = 0;
};
