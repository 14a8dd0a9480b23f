#include "platform/AudioFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/FfmpegError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// Length of the longest prefix of an MPEG-4 file that consists of whole top-level boxes. A
// writer cut off mid-fragment leaves a last box that claims more bytes than the file holds.
std::int64_t wholeBoxesPrefix(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path, ec));
    if (ec) return 0;
    std::ifstream f(path, std::ios::binary);
    std::int64_t pos = 0;
    while (pos + 8 <= size) {
        unsigned char h[16];
        f.seekg(pos);
        if (!f.read(reinterpret_cast<char*>(h), 8)) break;
        std::uint64_t box = (std::uint64_t{h[0]} << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
        if (box == 1) {  // 64-bit size follows the type
            if (!f.read(reinterpret_cast<char*>(h + 8), 8)) break;
            box = 0;
            for (int i = 8; i < 16; ++i) box = (box << 8) | h[i];
        }
        for (int i = 4; i < 8; ++i)
            if (h[i] < 0x20 || h[i] > 0x7e) return pos;  // not a box: zeros from a lost write
        if (box < 8 || box > static_cast<std::uint64_t>(size - pos)) break;
        pos += static_cast<std::int64_t>(box);
    }
    return pos;
}

}  // namespace

// The first `length` bytes of a file, as libavformat custom I/O.
struct AudioFileReader::TrimmedInput {
    std::FILE* file = nullptr;
    std::int64_t length = 0;
    std::int64_t pos = 0;
    AVIOContext* io = nullptr;

    ~TrimmedInput() {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
        if (file) std::fclose(file);
    }

    static int read(void* opaque, std::uint8_t* buf, int size) {
        auto* in = static_cast<TrimmedInput*>(opaque);
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(size, in->length - in->pos));
        if (n == 0) return AVERROR_EOF;
        const std::size_t got = std::fread(buf, 1, n, in->file);
        if (got == 0) return AVERROR_EOF;
        in->pos += static_cast<std::int64_t>(got);
        return static_cast<int>(got);
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* in = static_cast<TrimmedInput*>(opaque);
        if (whence & AVSEEK_SIZE) return in->length;
        std::int64_t to = offset;
        if ((whence & ~AVSEEK_FORCE) == SEEK_CUR) to = in->pos + offset;
        if ((whence & ~AVSEEK_FORCE) == SEEK_END) to = in->length + offset;
        if (to < 0 || to > in->length || fseeko(in->file, to, SEEK_SET) != 0) return -1;
        in->pos = to;
        return to;
    }
};

// The sample format, channel layout and rate the resampler was set up for.
struct AudioFileReader::InputShape {
    AVChannelLayout layout{};
    int format = -1;
    int rate = 0;

    explicit InputShape(const AVFrame* frame) : format(frame->format), rate(frame->sample_rate) {
        if (av_channel_layout_copy(&layout, &frame->ch_layout) < 0)
            throw std::runtime_error("audio reader: out of memory");
    }
    ~InputShape() { av_channel_layout_uninit(&layout); }
    InputShape(const InputShape&) = delete;
    InputShape& operator=(const InputShape&) = delete;

    bool matches(const AVFrame* frame) const {
        return frame->format == format && frame->sample_rate == rate &&
               av_channel_layout_compare(&layout, &frame->ch_layout) == 0;
    }
};

AudioFileReader::AudioFileReader(const std::filesystem::path& path, int sampleRate, int channels)
    : outRate_(sampleRate), outChannels_(channels) {
    if (sampleRate <= 0 || channels < 1 || channels > 2)
        throw std::invalid_argument("audio reader: unsupported output format");
    ffmpeg::quietLogs();
    const std::string name = path.string();
    try {
        const int opened = avformat_open_input(&format_, name.c_str(), nullptr, nullptr);
        if (opened < 0) {
            // A torn last fragment fails the whole header; retry without it.
            const std::int64_t whole = wholeBoxesPrefix(path);
            std::error_code ec;
            const auto size = std::filesystem::file_size(path, ec);
            if (ec || whole <= 0 || static_cast<std::uintmax_t>(whole) >= size)
                ffmpeg::check(opened, name.c_str());
            openTrimmed(path, whole);
        }
        // A torn fragment further on fails the probe, yet everything before it is readable;
        // the track's parameters come from the header.
        avformat_find_stream_info(format_, nullptr);
        const AVCodec* decoder = nullptr;
        streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (streamIndex_ == AVERROR_STREAM_NOT_FOUND) throw NoAudioTrack("no audio track: " + name);
        ffmpeg::check(streamIndex_, name.c_str());
        const AVStream* st = format_->streams[streamIndex_];
        codec_ = avcodec_alloc_context3(decoder);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!codec_ || !frame_ || !packet_) throw std::runtime_error("audio reader: out of memory");
        ffmpeg::check(avcodec_parameters_to_context(codec_, st->codecpar), name.c_str());
        codec_->pkt_timebase = st->time_base;
        ffmpeg::check(avcodec_open2(codec_, decoder, nullptr), name.c_str());
        const int trackRate = st->codecpar->sample_rate;
        if (trackRate <= 0) throw std::runtime_error("audio reader: no sample rate: " + name);
        // No end to cut at: an estimate from the bit rate (joined MP3 files, whose later parts
        // may be far longer than their first's rate makes them seem), or Ogg's, which is its last
        // chained part's end in the first part's clock (its demuxer trims every part itself).
        const bool trustedEnd =
            format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE &&
            std::strcmp(format_->iformat->name, "ogg") != 0;
        if (st->duration > 0 && st->duration != AV_NOPTS_VALUE && trustedEnd) {
            // The stated duration counts from the (negative) start, priming included.
            const std::int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
            endTime_ = start + st->duration;
        }
    } catch (...) {
        release();
        throw;
    }
}

AudioFileReader::~AudioFileReader() {
    release();
}

bool AudioFileReader::holdsNoAudio(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == 0 && !ec) return true;
    try {
        AudioFileReader reader(path, 8000, 1);
        float sample;
        return reader.read(&sample, 1) == 0;
    } catch (const NoAudioTrack&) {
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void AudioFileReader::openTrimmed(const std::filesystem::path& path, std::int64_t length) {
    const std::string name = path.string();
    trimmed_ = std::make_unique<TrimmedInput>();
    trimmed_->length = length;
    trimmed_->file = std::fopen(name.c_str(), "rbe");
    if (!trimmed_->file) ffmpeg::check(AVERROR(errno), name.c_str());
    constexpr int kBufferSize = 32768;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (buffer)
        trimmed_->io = avio_alloc_context(buffer, kBufferSize, 0, trimmed_.get(),
                                          &TrimmedInput::read, nullptr, &TrimmedInput::seek);
    if (!trimmed_->io) {
        av_free(buffer);
        throw std::runtime_error("audio reader: out of memory");
    }
    format_ = avformat_alloc_context();
    if (!format_) throw std::runtime_error("audio reader: out of memory");
    format_->pb = trimmed_->io;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // On failure libavformat frees the context (not the custom I/O) and nulls the pointer.
    ffmpeg::check(avformat_open_input(&format_, name.c_str(), nullptr, nullptr), name.c_str());
}

void AudioFileReader::release() {
    swr_free(&swr_);
    shape_.reset();
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    trimmed_.reset();
}

std::size_t AudioFileReader::read(float* interleaved, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        if (bufferPos_ >= buffer_.size() && !refill()) break;
        const std::size_t available = (buffer_.size() - bufferPos_) / outChannels_;
        const std::size_t n = std::min(available, frames - done);
        std::memcpy(interleaved + done * outChannels_, buffer_.data() + bufferPos_,
                    n * outChannels_ * sizeof(float));
        bufferPos_ += n * outChannels_;
        done += n;
    }
    return done;
}

bool AudioFileReader::refill() {
    buffer_.clear();
    bufferPos_ = 0;
    while (buffer_.empty()) {
        if (decodeDone_) {
            if (flushed_ || !swr_) return false;
            flushed_ = true;
            drainResampler();
            return !buffer_.empty();
        }
        const int got = avcodec_receive_frame(codec_, frame_);
        if (got == 0) {
            takeFrame();
            av_frame_unref(frame_);
            continue;
        }
        if (got == AVERROR_EOF) {
            decodeDone_ = true;
            continue;
        }
        if (got != AVERROR(EAGAIN)) continue;  // a damaged frame: skip it, keep the rest

        if (demuxDone_) {
            // The decoder wants input but none is left; EOF was already sent.
            decodeDone_ = true;
            continue;
        }
        const int ret = av_read_frame(format_, packet_);
        if (ret < 0) {
            // End of file, or a cut-off last packet: both end the track.
            demuxDone_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->flags & AV_PKT_FLAG_CORRUPT) {
            // A packet cut short by a killed writer decodes as noise; nothing follows it.
            av_packet_unref(packet_);
            demuxDone_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
    }
    return true;
}

void AudioFileReader::takeFrame() {
    const int rate = frame_->sample_rate;
    const int count = frame_->nb_samples;
    if (rate <= 0 || count <= 0 || frame_->ch_layout.nb_channels <= 0) return;  // damaged
    const AVRational timeBase = format_->streams[streamIndex_]->time_base;
    const AVRational perSample{1, rate};
    const bool stamped = frame_->pts != AV_NOPTS_VALUE;
    const bool first = nextTime_ == AV_NOPTS_VALUE;
    const std::int64_t start = stamped ? frame_->pts : first ? 0 : nextTime_;
    // A clock that starts again is a new part of a chained file: the stated end and the priming
    // before zero belong to the first part only. Across a change of rate on one clock both stay
    // right, being kept in the track's time base.
    if (stamped && !first && start < nextTime_ - av_rescale_q(1, AVRational{1, 1000}, timeBase))
        continuous_ = false;
    nextTime_ = start + av_rescale_q(count, perSample, timeBase);
    std::int64_t from = 0;
    std::int64_t to = count;
    if (continuous_) {
        // Samples before zero are the encoder's priming, hidden by the edit list; samples past
        // the stated end are the padding of the last frame.
        const std::int64_t at = av_rescale_q(start, timeBase, perSample);
        from = std::clamp<std::int64_t>(-at, 0, count);
        if (endTime_ >= 0)
            to = std::clamp<std::int64_t>(av_rescale_q(endTime_, timeBase, perSample) - at, 0,
                                          count);
    }
    if (to > from) convert(frame_, static_cast<int>(from), static_cast<int>(to - from));
}

void AudioFileReader::ensureResampler(const AVFrame* frame) {
    if (swr_ && shape_->matches(frame)) return;
    if (swr_) {
        // What the old set-up still holds comes before this frame.
        drainResampler();
        swr_free(&swr_);
        shape_.reset();
    }
    int ret = setUpResampler(frame, false);
    // A layout the automatic downmix does not know: mix every channel evenly.
    if (ret < 0) ret = setUpResampler(frame, true);
    if (ret < 0) {
        char layout[64] = "?";
        av_channel_layout_describe(&frame->ch_layout, layout, sizeof layout);
        throw std::runtime_error("audio reader: cannot convert " + std::string(layout) + " (" +
                                 std::to_string(frame->ch_layout.nb_channels) + " channels) at " +
                                 std::to_string(frame->sample_rate) +
                                 " Hz: " + ffmpeg::errorText(ret));
    }
    shape_ = std::make_unique<InputShape>(frame);
}

int AudioFileReader::setUpResampler(const AVFrame* frame, bool evenMix) {
    const int inChannels = frame->ch_layout.nb_channels;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, outChannels_);
    AVChannelLayout inLayout{};
    int ret = 0;
    if (evenMix) {
        inLayout.order = AV_CHANNEL_ORDER_UNSPEC;
        inLayout.nb_channels = inChannels;
    } else if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&inLayout, inChannels);  // still unspecified past 8 channels
    } else {
        ret = av_channel_layout_copy(&inLayout, &frame->ch_layout);
    }
    if (ret >= 0)
        ret = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLT, outRate_, &inLayout,
                                  static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                  nullptr);
    if (ret >= 0) {
        if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
            // Where the channels belong is unknown: each output gets their average.
            const std::vector<double> matrix(static_cast<std::size_t>(outChannels_) * inChannels,
                                             1.0 / inChannels);
            ret = swr_set_matrix(swr_, matrix.data(), inChannels);
        } else {
            // Without this a stereo-to-mono downmix comes out 3 dB hot.
            av_opt_set_double(swr_, "rematrix_maxval", 1.0, 0);
        }
    }
    if (ret >= 0) ret = swr_init(swr_);
    av_channel_layout_uninit(&inLayout);
    if (ret < 0) swr_free(&swr_);
    return ret;
}

void AudioFileReader::convert(const AVFrame* frame, int skip, int count) {
    ensureResampler(frame);
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(fmt);
    const int channels = frame->ch_layout.nb_channels;
    const std::ptrdiff_t stride = av_get_bytes_per_sample(fmt) * (planar ? 1 : channels);
    // Every plane: past eight they are only in extended_data.
    std::vector<const std::uint8_t*> in(planar ? channels : 1);
    for (std::size_t p = 0; p < in.size(); ++p) in[p] = frame->extended_data[p] + skip * stride;
    appendConverted(in.data(), count);
}

void AudioFileReader::drainResampler() {
    appendConverted(nullptr, 0);
}

void AudioFileReader::appendConverted(const std::uint8_t** in, int count) {
    const int room = swr_get_out_samples(swr_, count);
    if (room <= 0) return;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + static_cast<std::size_t>(room) * outChannels_);
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(buffer_.data() + old)};
    const int made =
        ffmpeg::check(swr_convert(swr_, out, room, in, count), "audio reader: resampler");
    buffer_.resize(old + static_cast<std::size_t>(made) * outChannels_);
}
