#include "platform/AudioFileReader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/FfmpegError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

AudioFileReader::AudioFileReader(const std::filesystem::path& path, int sampleRate, int channels)
    : outRate_(sampleRate), outChannels_(channels) {
    if (sampleRate <= 0 || channels < 1 || channels > 2)
        throw std::invalid_argument("audio reader: unsupported output format");
    ffmpeg::quietLogs();
    const std::string name = path.string();
    try {
        ffmpeg::check(avformat_open_input(&format_, name.c_str(), nullptr, nullptr),
                      name.c_str());
        ffmpeg::check(avformat_find_stream_info(format_, nullptr), name.c_str());
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
        if (st->duration > 0 && st->duration != AV_NOPTS_VALUE) {
            // The stated duration counts from the (negative) start, priming included.
            const std::int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
            endSample_ = av_rescale_q(start + st->duration, st->time_base, AVRational{1, trackRate});
        }
    } catch (...) {
        release();
        throw;
    }
}

AudioFileReader::~AudioFileReader() { release(); }

void AudioFileReader::release() {
    swr_free(&swr_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
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
            convert(nullptr, 0, 0);
            return !buffer_.empty();
        }
        const int got = avcodec_receive_frame(codec_, frame_);
        if (got == 0) {
            const AVStream* st = format_->streams[streamIndex_];
            std::int64_t first = nextSample_;
            if (frame_->pts != AV_NOPTS_VALUE)
                first = av_rescale_q(frame_->pts, st->time_base, AVRational{1, frame_->sample_rate});
            nextSample_ = first + frame_->nb_samples;
            // Samples before zero are the encoder's priming, hidden by the edit list; samples
            // past the stated end are the padding of the last frame.
            std::int64_t from = std::max<std::int64_t>(first, 0);
            std::int64_t to = nextSample_;
            if (endSample_ >= 0) to = std::min(to, endSample_);
            if (to > from) convert(frame_, static_cast<int>(from - first), static_cast<int>(to - from));
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

void AudioFileReader::ensureResampler(const AVFrame* frame) {
    if (swr_) return;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, outChannels_);
    AVChannelLayout inLayout = frame->ch_layout;
    AVChannelLayout fallback;
    if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&fallback, inLayout.nb_channels);
        inLayout = fallback;
    }
    ffmpeg::check(swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLT, outRate_, &inLayout,
                                      static_cast<AVSampleFormat>(frame->format),
                                      frame->sample_rate, 0, nullptr),
                  "audio reader: resampler");
    // Without this a stereo-to-mono downmix comes out 3 dB hot.
    av_opt_set_double(swr_, "rematrix_maxval", 1.0, 0);
    ffmpeg::check(swr_init(swr_), "audio reader: resampler");
}

void AudioFileReader::convert(const AVFrame* frame, int skip, int count) {
    const std::uint8_t* in[AV_NUM_DATA_POINTERS] = {};
    int inCount = 0;
    if (frame) {
        ensureResampler(frame);
        const auto fmt = static_cast<AVSampleFormat>(frame->format);
        const int bytes = av_get_bytes_per_sample(fmt);
        const int planes = av_sample_fmt_is_planar(fmt) ? frame->ch_layout.nb_channels : 1;
        const int stride = av_sample_fmt_is_planar(fmt) ? bytes : bytes * frame->ch_layout.nb_channels;
        for (int p = 0; p < planes && p < AV_NUM_DATA_POINTERS; ++p)
            in[p] = frame->extended_data[p] + static_cast<std::ptrdiff_t>(skip) * stride;
        inCount = count;
    }
    const int room = swr_get_out_samples(swr_, inCount);
    if (room <= 0) return;
    const std::size_t old = buffer_.size();
    buffer_.resize(old + static_cast<std::size_t>(room) * outChannels_);
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(buffer_.data() + old)};
    const int made = ffmpeg::check(swr_convert(swr_, out, room, frame ? in : nullptr, inCount),
                                   "audio reader: resampler");
    buffer_.resize(old + static_cast<std::size_t>(made) * outChannels_);
}
