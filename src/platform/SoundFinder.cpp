#include "platform/SoundFinder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
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
// The recording is whitened this much at a time: long enough to keep the margins a small share.
constexpr std::size_t kFilterBlock = std::size_t(1) << 14;
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
// Another sound explains a match as well where it explains this share of what the match does or
// more. Where the stop cue plays, it explains 1.4 times what the start cue cut off after its
// first note (the stop cue's second one) does there; where that cut-off start cue plays, the stop
// cue explains 0.7 times what it does. Noise or speech as loud as the cues tips neither over this.
constexpr double kAsWell = 0.9;
// Where another sound explains a match as well, the match is still this sound's if it explains
// more than this share of what it did once the other sound is taken away: the two both play.
// Where the other sound merely explains it, next to nothing is left.
constexpr double kLeftOver = 0.5;
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

// Transforms of one length and their buffers.
struct Fft {
    explicit Fft(std::size_t length)
        : block(length),
          fwd(length, false),
          inv(length, true),
          buf(zeroed(length + 2)),
          freq(zeroed(length + 2)) {}
    explicit operator bool() const { return fwd && inv && buf && freq; }
    std::size_t bins() const { return block / 2 + 1; }
    std::size_t block;
    Rdft fwd, inv;
    Buffer buf, freq;
};

// The sum of a[i] * b[i] over `n` samples, in double. Four sums run side by side: each add need
// not wait for the one before.
double dotOf(const float* a, const float* b, std::ptrdiff_t n) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::ptrdiff_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += double(a[i]) * b[i];
        s1 += double(a[i + 1]) * b[i + 1];
        s2 += double(a[i + 2]) * b[i + 2];
        s3 += double(a[i + 3]) * b[i + 3];
    }
    for (; i < n; ++i) s0 += double(a[i]) * b[i];
    return (s0 + s1) + (s2 + s3);
}

// Samples [from, to) of a sound.
struct Range {
    std::ptrdiff_t from, to;
};

// The part of a sound `l` long, placed at `lag` in a recording `n` long, that lies away from the
// recording's first and last `fade` samples: the part that is judged.
Range judged(std::ptrdiff_t lag, std::ptrdiff_t l, std::ptrdiff_t n, std::size_t fade) {
    const auto faded = static_cast<std::ptrdiff_t>(fade);
    return {std::max<std::ptrdiff_t>(0, faded - lag), std::min(l, n - faded - lag)};
}

// Overlap-save, `f.block` at a time: out[k] = sum over i of x[first + k + i] * h[i] for the lags
// first + k up to `last`, where `x` is zero outside its `n` samples and `h` is a sound `l` long
// with the spectrum `spectrum` at the transforms' length (a unit impulse where null: `x` filtered),
// each frequency weighed by `weight`. The weights must be smooth enough to ring for less than
// kMargin.
void correlate(const float* x, std::ptrdiff_t n, std::ptrdiff_t first, std::ptrdiff_t last,
               std::ptrdiff_t l, const float* spectrum, const float* weight, Fft& f, float* out) {
    const auto M = static_cast<std::ptrdiff_t>(f.block);
    const auto margin = static_cast<std::ptrdiff_t>(kMargin);
    const std::ptrdiff_t step = M - l - 2 * margin + 1;
    const std::size_t bins = f.bins();
    const auto scale = static_cast<float>(1.0 / double(M));  // the inverse does not scale
    float* const buf = f.buf.get();
    float* const r = f.freq.get();
    for (std::ptrdiff_t lag = first; lag <= last; lag += step) {
        const std::ptrdiff_t from = lag - margin;
        const std::ptrdiff_t begin = std::clamp<std::ptrdiff_t>(from, 0, n);
        const std::ptrdiff_t end = std::clamp<std::ptrdiff_t>(from + M, 0, n);
        std::fill(buf, buf + M, 0.0f);
        if (begin < end) std::copy(x + begin, x + end, buf + (begin - from));
        f.fwd(r, buf);
        for (std::size_t k = 0; k < bins; ++k) {
            const float w = weight[k] * scale;
            const float re = r[2 * k], im = r[2 * k + 1];
            if (spectrum) {
                // r * conj(s) * w, spelt out: std::complex's product checks for infinities.
                const float sr = spectrum[2 * k], si = spectrum[2 * k + 1];
                r[2 * k] = (re * sr + im * si) * w;
                r[2 * k + 1] = (im * sr - re * si) * w;
            } else {
                r[2 * k] = re * w;
                r[2 * k + 1] = im * w;
            }
        }
        f.inv(buf, r);
        const std::ptrdiff_t count = std::min(step, last - lag + 1);
        std::copy(buf + margin, buf + margin + count, out + (lag - first));
    }
}

// The middle one of `count` non-negative values, which are reordered. Their bits order them as
// unsigned integers do: counting by the top bits first leaves only a few to select among, which
// is several times faster than selecting among all.
float middleOf(float* values, std::size_t count) {
    const auto top = [](float v) { return (std::bit_cast<std::uint32_t>(v) >> 23) & 0xff; };
    std::array<std::uint32_t, 256> counts{};
    for (std::size_t i = 0; i < count; ++i) ++counts[top(values[i])];
    std::size_t rank = count / 2, group = 0;
    while (rank >= counts[group]) rank -= counts[group++];
    float* const end =
        std::partition(values, values + count, [&](float v) { return top(v) == group; });
    std::nth_element(values, values + rank, end);
    return values[rank];
}

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
    std::array<float, kSegment> hann;
    for (std::size_t i = 0; i < kSegment; ++i)
        hann[i] =
            static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / kSegment));
    const std::size_t bins = kSegment / 2 + 1;
    const std::size_t windows = (x.size() + kSegment - 1) / kSegment;
    // Bin after bin, windows per bin, so that each bin's values lie together for its median.
    scratch.resize(windows * bins);
    float* const all = scratch.data();
    const float* const samples = x.data();
    for (std::size_t w = 0; w < windows; ++w) {
        const std::size_t start = w * kSegment;
        const std::size_t count = std::min(kSegment, x.size() - start);
        for (std::size_t i = 0; i < count; ++i) in[i] = samples[start + i] * hann[i];
        std::fill(in + count, in + kSegment, 0.0f);
        fwd(outBuf.get(), in);
        for (std::size_t k = 0; k < bins; ++k)
            all[k * windows + w] = out[2 * k] * out[2 * k] + out[2 * k + 1] * out[2 * k + 1];
    }
    Spectra result{std::vector<double>(bins), std::vector<double>(bins)};
    for (std::size_t k = 0; k < bins; ++k) {
        float* const col = all + k * windows;
        double sum = 0;
        for (std::size_t w = 0; w < windows; ++w) sum += col[w];
        result.mean[k] = sum / double(windows);
        result.median[k] = middleOf(col, windows);
    }
    return result;
}

// Damaged samples count as silence; the rest is scaled to unit rms. Finding is blind to level,
// and neither huge nor tiny samples can then overflow the transforms or vanish in them (a NaN
// that got into a transform once spoilt the later searches, too). False when all is silent.
bool normalize(std::vector<float>& x) {
    for (float& v : x)
        if (!std::isfinite(v)) v = 0;
    const double energy = dotOf(x.data(), x.data(), std::ptrdiff_t(x.size()));
    if (!(energy > 0)) return false;
    const double scale = 1 / std::sqrt(energy / double(x.size()));
    for (float& v : x) v = static_cast<float>(v * scale);
    return true;
}

// 1 / the root of `power` plus `floor` at a `block`-long transform's bins, `power` interpolated
// from the short windows' bins (`block` is a multiple of their length). The floor keeps
// frequencies where nothing plays from weighing without bound.
void inverseRoots(const std::vector<double>& power, std::size_t block, double floor,
                  std::vector<float>& result) {
    const std::size_t per = block / kSegment;  // bins per short window's bin
    result.resize(block / 2 + 1);
    for (std::size_t i = 0; i + 1 < power.size(); ++i) {
        const double step = (power[i + 1] - power[i]) / double(per);
        for (std::size_t j = 0; j < per; ++j)
            result[i * per + j] =
                static_cast<float>(1 / std::sqrt(power[i] + double(j) * step + floor));
    }
    result.back() = static_cast<float>(1 / std::sqrt(power.back() + floor));
}

double meanOf(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum / double(v.size());
}

// The weights that whiten what plays steadily in the recording, at a `block`-long transform's
// bins: telling sounds apart, each keeps the weight of its own frequencies.
void steadyWeights(const Spectra& power, std::size_t block, std::vector<float>& weights) {
    inverseRoots(power.median, block, meanOf(power.mean) * 1e-6, weights);
}

// The recording's projection on a sound over the sound's samples `over` (its dot product with
// it there), and how much of the recording's energy the sound explains there at its best level.
// `white` and `shape` are whitened alike; `energy` holds the shape's energy before each sample.
struct Projection {
    double dot, explained;
};
Projection project(const float* white, std::ptrdiff_t lag, const float* shape,
                   const std::vector<double>& energy, Range over) {
    const double dot = dotOf(white + (lag + over.from), shape + over.from,
                             std::max<std::ptrdiff_t>(0, over.to - over.from));
    const double e = energy[std::size_t(over.to)] - energy[std::size_t(over.from)];
    return {dot, dot > 0 && e > 0 ? dot * dot / e : 0};
}

// A server that rewinds its speakers for a new stream may leave the stream's start out of what it
// records of them. A start that holds next to nothing (less than kAbsent of what the rest's level
// would put there) is no sign of another sound, and the sound is judged from where it is heard on;
// a start that holds something else is judged with the rest. Where the sound placed at `lag` is
// heard from, among its samples `parts`, leaving at least `least` of its energy to judge.
std::ptrdiff_t heardFromIn(const float* white, std::ptrdiff_t lag, const float* shape,
                           const std::vector<double>& energy, Range parts, double least) {
    double restDot = dotOf(white + (lag + parts.from), shape + parts.from,
                           std::max<std::ptrdiff_t>(0, parts.to - parts.from));
    double rest = energy[std::size_t(parts.to)] - energy[std::size_t(parts.from)];
    std::ptrdiff_t heardFrom = parts.from;
    double headHeard = 0, headShape = 0;
    for (std::ptrdiff_t i = parts.from; i < parts.to && rest >= least; ++i) {
        const double level = restDot / rest;
        if (level > 0 && headHeard <= kAbsent * level * level * headShape) heardFrom = i;
        const double h = white[lag + i], v = shape[i];
        headHeard += h * h;
        headShape += v * v;
        restDot -= h * v;
        rest -= v * v;
    }
    return heardFrom;
}

// Whether the whitened recording `white` holds the sound `shape`, whitened alike (with its energy
// before each sample) and placed at `lag`, over the sound's samples `overlap`; `parts` (within
// them) lie away from the recording's faded edges. If so, the sample of the sound from which it is
// heard: later than parts.from where its start is missing.
std::optional<std::ptrdiff_t> holdsTheSound(const float* white, std::ptrdiff_t lag,
                                            const float* shape, const std::vector<double>& energy,
                                            Range overlap, Range parts) {
    const auto energyOf = [&energy](std::ptrdiff_t from, std::ptrdiff_t to) {
        return energy[std::size_t(to)] - energy[std::size_t(from)];
    };
    // How alike they are where they overlap (1: the same).
    const float* const heard = white + (lag + overlap.from);
    const double dot = dotOf(heard, shape + overlap.from, overlap.to - overlap.from);
    const double heardEnergy = dotOf(heard, heard, overlap.to - overlap.from);
    const double shapeEnergy = energyOf(overlap.from, overlap.to);
    const double rho =
        heardEnergy > 0 && shapeEnergy > 0 ? dot / std::sqrt(heardEnergy * shapeEnergy) : 0;
    if (!(rho >= kMinLikeness)) return std::nullopt;
    // Mostly in the faded edges, an abrupt start or end of other audio can look like the sound.
    if (parts.to <= parts.from || !(energyOf(parts.from, parts.to) >= kOutsideFades * shapeEnergy))
        return std::nullopt;
    // Whether each part of the sound from its sample `from` on holds it at about the level of all
    // parts (its projection on the sound there).
    const auto levelsAgree = [&](std::ptrdiff_t from) {
        const double heard = energyOf(from, parts.to);
        if (!(heard > 0)) return false;
        std::array<double, kParts> partDot{}, partEnergy{};
        std::size_t part = 0;
        double partEnd = heard / kParts;  // the energy before the next part
        for (std::ptrdiff_t i = from; i < parts.to; ++i) {
            while (part + 1 < kParts && energyOf(from, i) >= partEnd) {
                ++part;
                partEnd = heard * double(part + 1) / kParts;
            }
            const double v = shape[i];
            partDot[part] += double(white[lag + i]) * v;
            partEnergy[part] += v * v;
        }
        double partsDot = 0;
        for (const double d : partDot) partsDot += d;
        const double level = partsDot / heard;
        for (std::size_t p = 0; p < kParts; ++p) {
            if (!(partEnergy[p] > 0)) continue;
            const double partLevel = partDot[p] / partEnergy[p];
            if (!(partLevel >= kMinPartLevel * level && partLevel <= kMaxPartLevel * level))
                return false;
        }
        return true;
    };
    if (levelsAgree(parts.from)) return parts.from;  // heard in full
    const std::ptrdiff_t from =
        heardFromIn(white, lag, shape, energy, parts, kOutsideFades * shapeEnergy);
    if (from > parts.from && levelsAgree(from)) return from;
    return std::nullopt;
}

}  // namespace

// What a finder knows of its sound, made once.
struct SoundFinder::Sound {
    std::vector<float> shape;     // at unit rms
    std::vector<float> spectrum;  // the shape's spectrum at the transforms' length, re/im
    // 1 / the root of the shape's mean power per frequency in short windows, at the transforms'
    // length.
    std::vector<float> weight;
};

// Transforms and working memory, made once: setting them up costs more than a search. Large
// allocations made afresh on every search would cost page faults each time, too.
struct SoundFinder::Transforms {
    explicit Transforms(std::size_t block) : fft(block) {}
    explicit operator bool() const { return segment && filter && fft; }
    std::mutex mutex;  // a transform's context must not run twice at once
    Rdft segment{kSegment, false};
    Fft filter{kFilterBlock};  // whitens the recording
    Fft fft;
    // The recording, its correlation with the sound, the recording whitened, the short windows'
    // spectra; the weights that place the sound, and those that whiten the recording at the
    // filter's and at the sound's transform length; the sound whitened like the recording, and its
    // energy before each sample.
    std::vector<float> rec, corr, white, windows;
    std::vector<float> sharp, filterSteady, steady;
    std::vector<float> shape;
    std::vector<double> energy;
};

SoundFinder::SoundFinder(std::vector<float> shape) : length_(shape.size()) {
    const std::size_t L = shape.size();
    // Shapes longer than about 2.6 s at 48 kHz do not fit the transforms well; a silent one
    // cannot be told from anything. Neither is ever found.
    if (L == 0 || L + 2 * kMargin > kMaxBlock / 2 || !normalize(shape)) return;
    // Blocks at least twice the shape and margins keep half or more of each as usable lags.
    std::size_t block = kMinBlock;
    while (block < 2 * (L + 2 * kMargin) && block < kMaxBlock) block *= 2;
    auto transforms = std::make_shared<Transforms>(block);
    if (!*transforms) return;
    float* const in = transforms->fft.buf.get();
    float* const out = transforms->fft.freq.get();
    std::fill(in, in + block, 0.0f);
    std::copy(shape.begin(), shape.end(), in);
    transforms->fft.fwd(out, in);
    std::optional<Spectra> power = spectra(shape, transforms->segment, transforms->windows);
    if (!power) return;
    auto sound = std::make_shared<Sound>();
    sound->spectrum.assign(out, out + block + 2);
    inverseRoots(power->mean, block,
                 *std::max_element(power->mean.begin(), power->mean.end()) * 1e-6, sound->weight);
    sound->shape = std::move(shape);
    sound_ = std::move(sound);
    transforms_ = std::move(transforms);
}

std::size_t SoundFinder::length() const {
    return length_;
}

std::optional<std::ptrdiff_t> SoundFinder::find(std::span<const float> recorded,
                                                std::size_t minOverlap,
                                                std::span<const SoundFinder> alike) const {
    const std::size_t L = length_, N = recorded.size();
    minOverlap = std::max<std::size_t>(minOverlap, 1);
    if (!sound_ || N == 0 || minOverlap > L || minOverlap > N) return std::nullopt;
    // The other sounds it could be taken for, each once; this one under another name is no other.
    std::vector<const SoundFinder*> others;
    for (const SoundFinder& other : alike) {
        if (!other.sound_ || other.sound_ == sound_ || other.sound_->shape == sound_->shape)
            continue;
        if (std::none_of(others.begin(), others.end(),
                         [&](const SoundFinder* o) { return o->sound_ == other.sound_; }))
            others.push_back(&other);
    }
    // Each finder's transforms serve one search at a time. They are taken in one order, so that
    // two searches for sounds alike each other never wait for each other.
    std::vector<std::mutex*> mutexes{&transforms_->mutex};
    for (const SoundFinder* other : others) mutexes.push_back(&other->transforms_->mutex);
    std::sort(mutexes.begin(), mutexes.end(), std::less<>());
    mutexes.erase(std::unique(mutexes.begin(), mutexes.end()), mutexes.end());
    std::vector<std::unique_lock<std::mutex>> locks;
    for (std::mutex* mutex : mutexes) locks.emplace_back(*mutex);

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

    const std::optional<Spectra> power = spectra(rec, t.segment, t.windows);
    if (!power) return std::nullopt;
    const Sound& sound = *sound_;
    Fft& fft = t.fft;
    const std::size_t M = fft.block, bins = fft.bins();
    // For the position, each frequency is weighed against the recording's power there (the
    // sound's own included) and the sound's: the peak stays one sample wide even for a ringing,
    // tonal sound, a loud tone or a voice counts no more than the frequencies where the sound
    // stands out, and frequencies the recording lacks do not swamp the rest.
    std::vector<float>& sharp = t.sharp;
    inverseRoots(power->mean, M, meanOf(power->mean) * 1e-6, sharp);
    for (std::size_t k = 0; k < bins; ++k) sharp[k] *= sound.weight[k];

    // The correlation at every lag where any of the sound lies in the recording.
    const auto n = static_cast<std::ptrdiff_t>(N), l = static_cast<std::ptrdiff_t>(L);
    const std::ptrdiff_t first = 1 - l, last = n - 1;
    std::vector<float>& corr = t.corr;
    corr.resize(std::size_t(last - first + 1));
    correlate(rec.data(), n, first, last, l, sound.spectrum.data(), sharp.data(), fft, corr.data());
    const float* const c = corr.data();
    const double sum2 = dotOf(c, c, std::ptrdiff_t(corr.size()));
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
    if (peaks.empty()) return std::nullopt;
    std::sort(peaks.begin(), peaks.end(),
              [c](std::size_t a, std::size_t b) { return c[a] > c[b]; });
    if (peaks.size() > kCandidates) peaks.resize(kCandidates);

    // For telling the sound from others, the recording and each sound are whitened only against
    // what plays steadily, so that each sound's own frequencies keep their weight.
    std::vector<float>& white = t.white;
    white.resize(N);
    steadyWeights(*power, kFilterBlock, t.filterSteady);
    correlate(rec.data(), n, 0, n - 1, 1, nullptr, t.filterSteady.data(), t.filter, white.data());
    // A sound whitened like the recording (filtered alike), with its energy before each sample,
    // kept in its own transforms' memory.
    const auto whiten = [&](const SoundFinder& finder) {
        Transforms& own = *finder.transforms_;
        const std::vector<float>& samples = finder.sound_->shape;
        const auto length = static_cast<std::ptrdiff_t>(samples.size());
        own.shape.resize(samples.size());
        correlate(samples.data(), length, 0, length - 1, 1, nullptr, t.filterSteady.data(),
                  t.filter, own.shape.data());
        own.energy.assign(samples.size() + 1, 0.0);
        for (std::size_t i = 0; i < samples.size(); ++i)
            own.energy[i + 1] = own.energy[i] + double(own.shape[i]) * own.shape[i];
    };
    whiten(*this);
    const float* const shape = t.shape.data();

    // Each peak where the sound is heard: from which of its samples, up to which (the last one
    // judged), whether enough of it lies in the recording, and what it explains there.
    struct Match {
        std::ptrdiff_t lag, heardFrom, to;
        bool enough;
        Projection projection;
    };
    std::vector<Match> matches;
    for (const std::size_t peak : peaks) {
        const std::ptrdiff_t lag = first + std::ptrdiff_t(peak);
        const Range overlap{std::max<std::ptrdiff_t>(0, -lag), std::min(l, n - lag)};
        if (overlap.to <= overlap.from) continue;
        const Range inner = judged(lag, l, n, fade);
        const Range parts{std::max(overlap.from, inner.from), std::min(overlap.to, inner.to)};
        const auto heardFrom = holdsTheSound(white.data(), lag, shape, t.energy, overlap, parts);
        if (!heardFrom) continue;
        matches.push_back({lag, *heardFrom, parts.to,
                           overlap.to - overlap.from >= static_cast<std::ptrdiff_t>(minOverlap),
                           project(white.data(), lag, shape, t.energy, {*heardFrom, parts.to})});
    }
    if (matches.empty()) return std::nullopt;

    // Whether a sound placed at `lag` (whitened like the recording, with its energy before each
    // sample), judged over its samples `part`, explains `share` of what match `m` does of the
    // recording or more, and leaves next to nothing of it to this sound once taken away at its
    // best level.
    const auto outweighs = [&](const Match& m, double share, const float* other,
                               const std::vector<double>& otherEnergy, std::ptrdiff_t lag,
                               Range part) {
        const Projection p = project(white.data(), lag, other, otherEnergy, part);
        if (!(p.dot > 0 && p.explained >= share * m.projection.explained)) return false;
        const double level = p.explained / p.dot;
        // Where the two overlap: the other's sample i is this sound's i - shift.
        const std::ptrdiff_t shift = m.lag - lag;
        const std::ptrdiff_t from = std::max(part.from, m.heardFrom + shift);
        const std::ptrdiff_t to = std::min(part.to, m.to + shift);
        const double overlap =
            from < to ? dotOf(other + from, shape + (from - shift), to - from) : 0;
        const double left = m.projection.dot - level * overlap;
        const double energy = t.energy[std::size_t(m.to)] - t.energy[std::size_t(m.heardFrom)];
        return !(left > 0 && left * left / energy > kLeftOver * m.projection.explained);
    };
    // The recording without its faded edges, where the other sounds are judged.
    const auto faded = static_cast<std::ptrdiff_t>(fade);
    std::vector<bool> whitened(others.size());
    // Whether this sound elsewhere (its end, or a repeated motif, can pass for all of it where its
    // start is missing) or another sound, whole or cut off by an edge, explains the match as well.
    // The other sound is judged with its start: else the start cue, whose last note the stop cue's
    // first one is, would explain as well the stop cue cut off after that note at a recording's
    // stop.
    const auto explainedOtherwise = [&](const Match& m) {
        const std::ptrdiff_t begin = m.lag + m.heardFrom, end = m.lag + m.to;
        for (const Match& a : matches)
            if (a.lag != m.lag && a.lag + a.heardFrom < end && a.lag + a.to > begin &&
                a.projection.explained >= m.projection.explained &&
                outweighs(m, 1, shape, t.energy, a.lag, {a.heardFrom, a.to}))
                return true;
        for (std::size_t o = 0; o < others.size(); ++o) {
            const SoundFinder& other = *others[o];
            Transforms& own = *other.transforms_;
            const auto lo = static_cast<std::ptrdiff_t>(other.length_);
            if (!whitened[o]) {
                whiten(other);
                steadyWeights(*power, own.fft.block, own.steady);
                whitened[o] = true;
            }
            // Of the placements that overlap the stretch, the one that explains most where it is
            // judged: the correlation there, against the other sound's energy there.
            const std::ptrdiff_t from = begin - lo + 1, to = end - 1;
            std::vector<float>& dots = own.corr;
            dots.resize(std::size_t(to - from + 1));
            correlate(white.data() + faded, n - 2 * faded, from - faded, to - faded, lo,
                      other.sound_->spectrum.data(), own.steady.data(), own.fft, dots.data());
            double most = 0;
            std::ptrdiff_t best = 0;
            for (std::ptrdiff_t lag = from; lag <= to; ++lag) {
                const double dot = dots[std::size_t(lag - from)];
                const Range part = judged(lag, lo, n, fade);
                if (!(dot > 0) || part.to <= part.from) continue;
                // Like a match, at least a quarter of it away from the faded edges.
                const double e =
                    own.energy[std::size_t(part.to)] - own.energy[std::size_t(part.from)];
                if (e >= kOutsideFades * own.energy.back() && dot * dot / e > most) {
                    most = dot * dot / e;
                    best = lag;
                }
            }
            if (most > 0 && outweighs(m, kAsWell, own.shape.data(), own.energy, best,
                                      judged(best, lo, n, fade)))
                return true;
        }
        return false;
    };
    for (const Match& m : matches)
        if (m.enough && !explainedOtherwise(m)) return m.lag;
    return std::nullopt;
}
