#include "platform/SoundFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <memory>
#include <mutex>
#include <numbers>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

namespace {

// FFmpeg 5.1 transforms power-of-two lengths quickly only up to this one; longer ones fall back
// to a quadratic transform, and mixed-radix lengths proved unreliable. Long recordings are
// correlated block by block instead.
constexpr std::size_t kMaxBlock = std::size_t(1) << 18;
constexpr std::size_t kMinBlock = std::size_t(1) << 13;
// The recording's spectrum is estimated in windows this long (about 20 ms at 48 kHz): fine
// enough to notch a steady tone, coarse enough to average over a few seconds.
constexpr std::size_t kSegment = 1024;
// A whitening filter smooth at that resolution rings for about a window; blocks keep that much
// margin on either side so that it never wraps around.
constexpr std::size_t kMargin = kSegment;
constexpr std::size_t kFade = 1024;
// Acceptance, tuned on the theme sounds under a tone, noise and speech. Without the sound the
// correlation's highest peak stands about 5 times its rms out over noise (the largest of some
// 10^5 random values), 7 over speech; with it, 12 and more even 10 dB under noise. Tones and
// other chimes can peak higher; the likeness below turns those away.
constexpr double kMinPeak = 7;
// Whitened alike-ness where the sound overlaps: 0.26 or more for the sound 10 dB under white
// noise, at most 0.07 for noise, speech, a tone or another theme sound in its place.
constexpr double kMinLikeness = 0.15;
// A similar sound shares much of the sought one: the theme's "device-added" and "device-removed"
// are alike in all but a part, which alone pulls the likeness above 0.8. So the overlap is cut
// into parts of equal sound, and each part must hold the sound at about the same level as the
// whole: with the sound there, each part's level is within 0.9–1.2 of the whole's, even 10 dB
// under noise; a sound that is alike only in part leaves a part at 0.35 or less.
constexpr int kParts = 4;
constexpr double kMinPartLevel = 0.5, kMaxPartLevel = 2;
// The share of the sound that must lie away from the recording's faded edges.
constexpr double kOutsideFades = 0.25;
// A start of the sound missing from the recording holds less than this share of the energy the
// sound would put there.
constexpr double kAbsent = 0.1;
// Peaks this close (about 5 ms at 48 kHz) are one; so many of the highest are tried.
constexpr std::size_t kApart = 256;
constexpr std::size_t kCandidates = 8;

using Complex = std::complex<float>;

struct AvFree {
    void operator()(float* p) const { av_free(p); }
};
using Buffer = std::unique_ptr<float[], AvFree>;

Buffer zeroed(std::size_t floats) {
    return Buffer(static_cast<float*>(av_mallocz(floats * sizeof(float))));
}

class Rdft {
public:
    Rdft(std::size_t len, bool inverse) : inverse_(inverse) {
        const float scale = 1.0f;
        if (av_tx_init(&ctx_, &fn_, AV_TX_FLOAT_RDFT, inverse ? 1 : 0, static_cast<int>(len),
                       &scale, 0) < 0)
            ctx_ = nullptr;
    }
    ~Rdft() { av_tx_uninit(&ctx_); }
    Rdft(const Rdft&) = delete;
    Rdft& operator=(const Rdft&) = delete;
    explicit operator bool() const { return ctx_ != nullptr; }
    // The inverse transform overwrites `in`.
    void operator()(float* out, float* in) {
        fn_(ctx_, out, in, inverse_ ? sizeof(Complex) : sizeof(float));
    }

private:
    AVTXContext* ctx_ = nullptr;
    av_tx_fn fn_ = nullptr;
    bool inverse_;
};

// The power per frequency (kSegment / 2 + 1 values) of `x` in short windows: their mean, and
// their median, which a sound heard in fewer than half of the windows (the one sought) barely
// moves while a steady tone, noise or ongoing speech sets it.
struct Spectra {
    std::vector<double> mean, median;
};

// `fwd` is a forward transform kSegment long; `scratch` is working memory kept between calls.
std::optional<Spectra> spectra(const std::vector<float>& x, Rdft& fwd,
                               std::vector<float>& scratch) {
    Buffer inBuf = zeroed(kSegment + 2), outBuf = zeroed(kSegment + 2);
    if (!inBuf || !outBuf) return std::nullopt;
    float* const in = inBuf.get();
    const float* const out = outBuf.get();
    std::vector<float> hann(kSegment);
    for (std::size_t i = 0; i < kSegment; ++i)
        hann[i] =
            static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / kSegment));
    const std::size_t bins = kSegment / 2 + 1;
    const std::size_t windows =
        x.size() <= kSegment ? 1 : (x.size() - kSegment + kSegment / 2 - 1) / (kSegment / 2) + 1;
    scratch.resize(windows * bins);
    float* const all = scratch.data();  // window after window, bins per window
    const float* const samples = x.data();
    const float* const window = hann.data();
    for (std::size_t w = 0; w < windows; ++w) {
        const std::size_t start = w * (kSegment / 2);
        const std::size_t count = std::min(kSegment, x.size() - start);
        for (std::size_t i = 0; i < count; ++i) in[i] = samples[start + i] * window[i];
        std::fill(in + count, in + kSegment, 0.0f);
        fwd(outBuf.get(), in);
        float* const row = all + w * bins;
        for (std::size_t k = 0; k < bins; ++k)
            row[k] = out[2 * k] * out[2 * k] + out[2 * k + 1] * out[2 * k + 1];
    }
    Spectra result{std::vector<double>(bins), std::vector<double>(bins)};
    std::vector<float> column(windows);
    for (std::size_t k = 0; k < bins; ++k) {
        double sum = 0;
        float* const col = column.data();
        for (std::size_t w = 0; w < windows; ++w) sum += col[w] = all[w * bins + k];
        result.mean[k] = sum / double(windows);
        std::nth_element(col, col + windows / 2, col + windows);
        result.median[k] = col[windows / 2];
    }
    return result;
}

// Damaged samples count as silence; the rest is scaled to unit rms. Finding is blind to level,
// and neither huge nor tiny samples can then overflow the transforms or vanish in them (a NaN
// that got into a transform once spoilt the later searches, too). False when all is silent.
bool normalize(std::vector<float>& x) {
    double energy = 0;
    for (float& v : x) {
        if (!std::isfinite(v)) v = 0;
        energy += double(v) * v;
    }
    if (!(energy > 0)) return false;
    const double scale = 1 / std::sqrt(energy / double(x.size()));
    for (float& v : x) v = static_cast<float>(v * scale);
    return true;
}

// `power` interpolated to a `block`-long transform's bins, plus `floor`, which keeps frequencies
// where nothing plays from weighing without bound.
std::vector<double> perBin(const std::vector<double>& power, std::size_t block, double floor) {
    std::vector<double> result(block / 2 + 1);
    const double* const p = power.data();
    for (std::size_t k = 0; k < result.size(); ++k) {
        const double pos = double(k) * kSegment / double(block);
        const auto i = std::min(std::size_t(pos), power.size() - 2);
        result[k] = p[i] + (pos - double(i)) * (p[i + 1] - p[i]) + floor;
    }
    return result;
}

double meanOf(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum / double(v.size());
}

// Whether `heard` (the recording from the sound's first sample on) holds the sound `shape` over
// its samples [from, to), both whitened alike; `lag` places the sound in a recording `n` long whose
// first and last `fade` samples are faded. If so, the sample of the sound from which it is heard:
// later than `from` where its start is missing, which only a sound not sought `whole` may be.
std::optional<std::ptrdiff_t> holdsTheSound(const float* heard, const float* shape,
                                            std::ptrdiff_t from, std::ptrdiff_t to,
                                            std::ptrdiff_t lag, std::ptrdiff_t n, std::size_t fade,
                                            bool whole) {
    // How alike they are where they overlap (1: the same).
    double dot = 0, heardEnergy = 0, shapeEnergy = 0;
    for (std::ptrdiff_t i = from; i < to; ++i) {
        const double h = heard[i], v = shape[i];
        dot += h * v;
        heardEnergy += h * h;
        shapeEnergy += v * v;
    }
    const double rho =
        heardEnergy > 0 && shapeEnergy > 0 ? dot / std::sqrt(heardEnergy * shapeEnergy) : 0;
    if (!(rho >= kMinLikeness)) return std::nullopt;
    // The level of the sound in each part (its projection on the sound), against all parts';
    // the recording's faded edges are left out of it.
    std::array<double, kParts> partDot{}, partEnergy{};
    const auto faded = static_cast<std::ptrdiff_t>(fade);
    const std::ptrdiff_t partsFrom = std::max(from, faded - lag);
    const std::ptrdiff_t partsTo = std::min(to, n - faded - lag);
    double inParts = 0;
    for (std::ptrdiff_t i = partsFrom; i < partsTo; ++i) inParts += double(shape[i]) * shape[i];
    // Mostly in the faded edges, an abrupt start or end of other audio can look like the sound.
    if (!(inParts >= kOutsideFades * shapeEnergy)) return std::nullopt;
    // A server that rewinds its speakers for a new stream may leave the stream's start out of what
    // it records of them. A start that holds next to nothing (less than kAbsent of what the rest's
    // level would put there) is no sign of another sound, and the sound is judged from where it is
    // heard on (find() then asks whether an alike sound is heard there in full); a start that
    // holds something else is judged with the rest.
    std::ptrdiff_t heardFrom = partsFrom;
    if (!whole) {
        double restDot = 0;
        for (std::ptrdiff_t i = partsFrom; i < partsTo; ++i) restDot += double(heard[i]) * shape[i];
        double headHeard = 0, headShape = 0, rest = inParts;
        for (std::ptrdiff_t i = partsFrom; i < partsTo && rest >= kOutsideFades * shapeEnergy;
             ++i) {
            const double level = restDot / rest;
            if (level > 0 && headHeard <= kAbsent * level * level * headShape) heardFrom = i;
            const double h = heard[i], v = shape[i];
            headHeard += h * h;
            headShape += v * v;
            restDot -= h * v;
            rest -= v * v;
        }
    }
    double inHeard = 0;
    for (std::ptrdiff_t i = heardFrom; i < partsTo; ++i) inHeard += double(shape[i]) * shape[i];
    double before = 0;
    for (std::ptrdiff_t i = heardFrom; i < partsTo && inHeard > 0; ++i) {
        const double h = heard[i], v = shape[i];
        const auto part =
            std::min<std::size_t>(kParts - 1, static_cast<std::size_t>(before / inHeard * kParts));
        partDot[part] += h * v;
        partEnergy[part] += v * v;
        before += v * v;
    }
    double partsDot = 0, partsEnergy = 0;
    for (std::size_t part = 0; part < kParts; ++part) {
        partsDot += partDot[part];
        partsEnergy += partEnergy[part];
    }
    const double level = partsDot / partsEnergy;
    for (std::size_t part = 0; part < kParts; ++part) {
        if (!(partEnergy[part] > 0)) continue;
        const double partLevel = partDot[part] / partEnergy[part];
        if (!(partLevel >= kMinPartLevel * level && partLevel <= kMaxPartLevel * level))
            return std::nullopt;
    }
    return heardFrom;
}

}  // namespace

// Transforms and working memory, made once: setting them up costs more than a search. Large
// allocations made afresh on every search would cost page faults each time, too.
struct SoundFinder::Transforms {
    explicit Transforms(std::size_t block)
        : fwd(block, false), inv(block, true), buf(zeroed(block + 2)), freq(zeroed(block + 2)) {}
    explicit operator bool() const { return segment && fwd && inv && buf && freq; }
    std::mutex mutex;  // a transform's context must not run twice at once
    Rdft segment{kSegment, false};
    Rdft fwd, inv;
    Buffer buf, freq;
    std::vector<float> rec, corr, windows;
};

SoundFinder::SoundFinder(std::vector<float> shape) : shape_(std::move(shape)) {
    const std::size_t L = shape_.size();
    // Shapes longer than about 2.6 s at 48 kHz do not fit the transforms well; a silent one
    // cannot be told from anything. Neither is ever found.
    if (L == 0 || L + 2 * kMargin > kMaxBlock / 2 || !normalize(shape_)) return;
    // Blocks at least twice the shape and margins keep half or more of each as usable lags.
    std::size_t block = kMinBlock;
    while (block < 2 * (L + 2 * kMargin) && block < kMaxBlock) block *= 2;
    auto transforms = std::make_shared<Transforms>(block);
    Buffer in = zeroed(block + 2), out = zeroed(block + 2);
    if (!*transforms || !in || !out) return;
    std::copy(shape_.begin(), shape_.end(), in.get());
    transforms->fwd(out.get(), in.get());
    std::optional<Spectra> power = spectra(shape_, transforms->segment, transforms->windows);
    if (!power) return;
    transforms_ = std::move(transforms);
    spectrum_.assign(out.get(), out.get() + block + 2);
    power_ = std::move(power->mean);
    block_ = block;
}

std::size_t SoundFinder::length() const {
    return shape_.size();
}

std::optional<std::ptrdiff_t> SoundFinder::find(std::span<const float> recorded,
                                                std::size_t minOverlap,
                                                std::span<const SoundFinder> alike) const {
    return locate(recorded, minOverlap, alike, false);
}

std::optional<std::ptrdiff_t> SoundFinder::locate(std::span<const float> recorded,
                                                  std::size_t minOverlap,
                                                  std::span<const SoundFinder> alike,
                                                  bool whole) const {
    const std::size_t L = shape_.size(), N = recorded.size();
    minOverlap = std::max<std::size_t>(minOverlap, 1);
    if (block_ == 0 || N == 0 || minOverlap > L || minOverlap > N) return std::nullopt;
    const std::lock_guard lock(transforms_->mutex);
    Transforms& t = *transforms_;
    std::vector<float>& rec = t.rec;
    rec.assign(recorded.begin(), recorded.end());
    if (!normalize(rec)) return std::nullopt;  // digital silence
    // Fading the recording in and out keeps another program's abrupt start at its edges (a
    // click to the whitening below) from passing for the sound's own attack.
    const std::size_t fade = std::min(N / 2, kFade);
    for (std::size_t i = 0; i < fade; ++i) {
        const auto g = static_cast<float>(
            0.5 - 0.5 * std::cos(std::numbers::pi * (double(i) + 0.5) / double(fade)));
        rec[i] *= g;
        rec[N - 1 - i] *= g;
    }

    Rdft& fwd = t.fwd;
    Rdft& inv = t.inv;
    const std::optional<Spectra> power = spectra(rec, t.segment, t.windows);
    if (!power) return std::nullopt;
    const std::size_t M = block_, bins = M / 2 + 1;
    // For the position, each frequency is weighed against the recording's power there (the
    // sound's own included) and the sound's: the peak stays one sample wide even for a ringing,
    // tonal sound, a loud tone or a voice counts no more than the frequencies where the sound
    // stands out, and frequencies the recording lacks do not swamp the rest.
    const std::vector<double> heardPower = perBin(power->mean, M, meanOf(power->mean) * 1e-6);
    const std::vector<double> shapePower =
        perBin(power_, M, *std::max_element(power_.begin(), power_.end()) * 1e-6);
    std::vector<float> sharpWeight(bins);  // applied to the cross spectrum
    for (std::size_t k = 0; k < bins; ++k)
        sharpWeight[k] = static_cast<float>(1 / std::sqrt(heardPower[k] * shapePower[k]));
    const float* const sharp = sharpWeight.data();
    // For telling the sound from others, only what plays steadily is whitened away, so that the
    // sound's own frequencies keep their weight.
    std::vector<float> steadyWeight(bins);
    const std::vector<double> steadyPower = perBin(power->median, M, meanOf(power->mean) * 1e-6);
    for (std::size_t k = 0; k < bins; ++k)
        steadyWeight[k] = static_cast<float>(1 / std::sqrt(steadyPower[k]));
    const float* const steady = steadyWeight.data();

    float* const buf = t.buf.get();
    float* const freq = t.freq.get();
    const float* s = spectrum_.data();
    const auto n = static_cast<std::ptrdiff_t>(N), l = static_cast<std::ptrdiff_t>(L);
    const auto margin = static_cast<std::ptrdiff_t>(kMargin);
    // Transforms the recording from `from` on into `freq`, zero outside the recording.
    auto load = [&](std::ptrdiff_t from) {
        const std::ptrdiff_t begin = std::clamp<std::ptrdiff_t>(from, 0, n);
        const std::ptrdiff_t end = std::clamp<std::ptrdiff_t>(from + std::ptrdiff_t(M), 0, n);
        std::fill(buf, buf + M, 0.0f);
        std::copy(rec.data() + begin, rec.data() + end, buf + (begin - from));
        fwd(freq, buf);
    };

    // The whitened correlation at every lag where any of the sound lies in the recording, block
    // by block (overlap-save): output margin + j of a block loaded from lag - margin is lag + j.
    const std::ptrdiff_t first = 1 - l, last = n - 1;
    const std::ptrdiff_t step = static_cast<std::ptrdiff_t>(M) - l - 2 * margin + 1;
    std::vector<float>& corr = t.corr;
    corr.assign(std::size_t(last - first + 1), 0.0f);
    for (std::ptrdiff_t lag = first; lag <= last; lag += step) {
        load(lag - margin);
        float* const r = freq;
        for (std::size_t k = 0; k < bins; ++k) {
            // r * conj(s) * weight, spelt out: std::complex's product checks for infinities.
            const float w = sharp[k], re = r[2 * k], im = r[2 * k + 1];
            r[2 * k] = (re * s[2 * k] + im * s[2 * k + 1]) * w;
            r[2 * k + 1] = (im * s[2 * k] - re * s[2 * k + 1]) * w;
        }
        inv(buf, freq);
        const std::ptrdiff_t count = std::min(step, last - lag + 1);
        std::copy(buf + margin, buf + margin + count, corr.data() + (lag - first));
    }
    double sum2 = 0;
    const float* const c = corr.data();
    for (std::size_t i = 0; i < corr.size(); ++i) sum2 += double(c[i]) * c[i];
    if (!(sum2 > 0)) return std::nullopt;
    const double rms = std::sqrt(sum2 / double(corr.size()));
    // The highest peaks, best first, each the highest within kApart of it: another loud sound may
    // peak higher than the one sought.
    std::vector<std::size_t> peaks;
    for (std::size_t i = 0; i < corr.size(); ++i) {
        if (!(c[i] >= kMinPeak * rms)) continue;
        const std::size_t a = i < kApart ? 0 : i - kApart;
        const std::size_t b = std::min(corr.size(), i + kApart + 1);
        if (std::max_element(c + a, c + b) == c + i) peaks.push_back(i);
    }
    std::sort(peaks.begin(), peaks.end(),
              [c](std::size_t a, std::size_t b) { return c[a] > c[b]; });
    if (peaks.size() > kCandidates) peaks.resize(kCandidates);

    auto whiten = [&] {
        for (std::size_t k = 0; k < bins; ++k) {
            freq[2 * k] *= steady[k];
            freq[2 * k + 1] *= steady[k];
        }
        inv(buf, freq);
    };
    std::copy(spectrum_.begin(), spectrum_.end(), freq);
    whiten();
    const std::vector<float> shape(buf, buf + L);
    // Each peak where the sound is heard: from which of its samples, up to which, and whether in
    // full.
    struct Match {
        std::ptrdiff_t lag, heardFrom, to;
        bool full, enough;
    };
    std::vector<Match> matches;
    for (const std::size_t peak : peaks) {
        const std::ptrdiff_t lag = first + std::ptrdiff_t(peak);
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, -lag), to = std::min(l, n - lag);
        if (to <= from) continue;
        load(lag - margin);
        whiten();
        const auto heardFrom =
            holdsTheSound(buf + margin, shape.data(), from, to, lag, n, fade, whole);
        if (!heardFrom) continue;
        const bool full =
            whole || holdsTheSound(buf + margin, shape.data(), from, to, lag, n, fade, true);
        matches.push_back(
            {lag, *heardFrom, to, full, to - from >= static_cast<std::ptrdiff_t>(minOverlap)});
    }
    // Whether this sound elsewhere, or an alike one, is heard in full over [begin, end) of the
    // recording: its end, or a repeated motif, can be all of a sound that is heard without its
    // start.
    const auto heardInFull = [&](std::ptrdiff_t begin, std::ptrdiff_t end) {
        for (const Match& m : matches)
            if (m.full && m.lag + m.heardFrom < end && m.lag + m.to > begin) return true;
        return std::any_of(alike.begin(), alike.end(), [&](const SoundFinder& other) {
            if (other.transforms_ == transforms_) return false;  // this sound
            const auto at = other.locate(recorded, 1, {}, true);
            return at && std::max(*at, begin) <
                             std::min(*at + static_cast<std::ptrdiff_t>(other.length()), end);
        });
    };
    for (const Match& m : matches) {
        if (!m.enough) continue;
        if (m.full || !heardInFull(m.lag + m.heardFrom, m.lag + m.to)) return m.lag;
    }
    return std::nullopt;
}
