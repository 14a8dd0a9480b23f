#include "platform/AacFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

#include "platform/FfmpegError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

namespace {

// Fragmented so that a killed writer leaves a playable file. delay_moov instead of empty_moov
// keeps the encoder's priming in the edit list rather than shifting the audio by a frame.
void setContainerOptions(AVDictionary** opts) {
    av_dict_set(opts, "movflags", "delay_moov+default_base_moof", 0);
    av_dict_set(opts, "frag_duration", "2000000", 0);
    av_dict_set(opts, "use_editlist", "1", 0);
    av_dict_set(opts, "flush_packets", "1", 0);
}

}  // namespace

AacFileWriter::AacFileWriter(std::filesystem::path path, AacSettings settings)
    : path_(std::move(path)), settings_(settings) {
    if (settings_.sampleRate <= 0 || settings_.channels < 1 || settings_.channels > 2 ||
        settings_.bitRate <= 0)
        throw std::invalid_argument("AAC writer: unsupported settings");
    ffmpeg::quietLogs();
    bool created = false;
    try {
        const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
        if (!encoder) throw std::runtime_error("AAC writer: no AAC encoder available");
        ffmpeg::check(avformat_alloc_output_context2(&format_, nullptr, "ipod", path_.c_str()),
                      "AAC writer: container");
        stream_ = avformat_new_stream(format_, nullptr);
        codec_ = avcodec_alloc_context3(encoder);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!stream_ || !codec_ || !frame_ || !packet_)
            throw std::runtime_error("AAC writer: out of memory");

        codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        codec_->sample_rate = settings_.sampleRate;
        codec_->bit_rate = settings_.bitRate;
        av_channel_layout_default(&codec_->ch_layout, settings_.channels);
        codec_->time_base = AVRational{1, settings_.sampleRate};
        if (format_->oformat->flags & AVFMT_GLOBALHEADER)
            codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ffmpeg::check(avcodec_open2(codec_, encoder, nullptr), "AAC writer: encoder");
        ffmpeg::check(avcodec_parameters_from_context(stream_->codecpar, codec_),
                      "AAC writer: stream");
        stream_->time_base = codec_->time_base;

        frame_->format = codec_->sample_fmt;
        frame_->sample_rate = codec_->sample_rate;
        frame_->nb_samples = codec_->frame_size;
        ffmpeg::check(av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout),
                      "AAC writer: frame");
        ffmpeg::check(av_frame_get_buffer(frame_, 0), "AAC writer: frame");

        ffmpeg::check(avio_open(&format_->pb, path_.c_str(), AVIO_FLAG_WRITE), path_.c_str());
        open_ = created = true;
        // Recordings are private; FFmpeg creates the file with the umask's mode, and nothing is
        // in it yet.
        ::chmod(path_.c_str(), 0600);
        AVDictionary* opts = nullptr;
        setContainerOptions(&opts);
        const int ret = avformat_write_header(format_, &opts);
        const bool allTaken = av_dict_count(opts) == 0;
        av_dict_free(&opts);
        checkWritten(ret, "AAC writer: header");
        // Crash safety rests on these options; a library that ignores one must not pass.
        if (!allTaken) throw std::runtime_error("AAC writer: container options not supported");
    } catch (...) {
        // Remove only what this writer created; a file it could not open is not ours.
        if (created)
            cancel();
        else
            close();
        throw;
    }
}

AacFileWriter::~AacFileWriter() {
    try {
        finish();
    } catch (...) {
        close();
    }
}

void AacFileWriter::write(const float* interleaved, std::size_t frames) {
    if (!open_) throw std::logic_error("AAC writer: file is closed");
    const int channels = settings_.channels;
    while (frames > 0) {
        if (frameFill_ == 0) ffmpeg::check(av_frame_make_writable(frame_), "AAC writer: frame");
        const int n = static_cast<int>(std::min<std::size_t>(
            frames, static_cast<std::size_t>(frame_->nb_samples - frameFill_)));
        for (int c = 0; c < channels; ++c) {
            float* plane = reinterpret_cast<float*>(frame_->extended_data[c]) + frameFill_;
            if (interleaved) {
                for (int i = 0; i < n; ++i) plane[i] = interleaved[i * channels + c];
            } else {
                std::fill(plane, plane + n, 0.0f);
            }
        }
        frameFill_ += n;
        framesIn_ += n;
        frames -= static_cast<std::size_t>(n);
        if (interleaved) interleaved += static_cast<std::ptrdiff_t>(n) * channels;
        if (frameFill_ == frame_->nb_samples) encodePending(false);
    }
}

void AacFileWriter::writeSilence(std::size_t frames) {
    write(nullptr, frames);
}

void AacFileWriter::encodePending(bool last) {
    if (frameFill_ > 0) {
        const int fullSize = frame_->nb_samples;
        frame_->nb_samples = frameFill_;  // the encoder takes a short final frame
        frame_->pts = nextPts_;
        nextPts_ += frameFill_;
        const int ret = avcodec_send_frame(codec_, frame_);
        frame_->nb_samples = fullSize;
        frameFill_ = 0;
        ffmpeg::check(ret, "AAC writer: encode");
        drain();
    }
    if (last) {
        ffmpeg::check(avcodec_send_frame(codec_, nullptr), "AAC writer: encode");
        drain();
    }
}

void AacFileWriter::drain() {
    for (;;) {
        const int ret = avcodec_receive_packet(codec_, packet_);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
        ffmpeg::check(ret, "AAC writer: encode");
        av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        const bool audible = packet_->pts >= 0;  // not the encoder's priming alone
        const int written = av_write_frame(format_, packet_);
        av_packet_unref(packet_);
        checkWritten(written, "AAC writer: write");
        if (audible && !fragmentWritten_) {
            fragmentWritten_ = true;
            // The header and a first fragment with audio go to disk at once (the first flush
            // writes the header only), so that a disk that fills up soon after the start still
            // leaves a playable file.
            for (int i = 0; i < 2; ++i)
                checkWritten(av_write_frame(format_, nullptr), "AAC writer: write");
        }
    }
}

// After every successful write the file ends with a complete fragment. A failed write leaves a
// torn one behind: the file is closed and cut back, so what was written stays playable and
// nothing lands after the tear.
void AacFileWriter::checkWritten(int ret, const char* what) {
    if (ret >= 0) {
        avio_flush(format_->pb);
        ret = format_->pb->error;
    }
    if (ret >= 0) {
        durable_ = avio_tell(format_->pb);
        return;
    }
    close();
    if (::truncate(path_.c_str(), durable_) != 0) {
        // Nothing better to do: the reader still drops a torn last fragment.
    }
    // FFmpeg's codes for system errors are the negated errno values.
    const int err = ret > -4096 ? -ret : EIO;
    throw WriteError(std::error_code(err, std::generic_category()), what);
}

void AacFileWriter::finish() {
    if (!open_) return;
    try {
        encodePending(true);
        checkWritten(av_write_trailer(format_), "AAC writer: trailer");
    } catch (...) {
        close();
        throw;
    }
    close();
}

void AacFileWriter::cancel() {
    close();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

void AacFileWriter::close() {
    if (format_ && format_->pb) avio_closep(&format_->pb);
    open_ = false;
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    avformat_free_context(format_);
    format_ = nullptr;
    stream_ = nullptr;
}
