#include "engine/MicrophoneRecorder.h"

#include <stdexcept>
#include <utility>

namespace {

constexpr const char* kNoMicrophone = "マイクが見つかりません";
constexpr const char* kNoServer = "サウンドサーバーに接続できません";
constexpr const char* kRefused = "サウンドサーバーがマイクの録音を受け付けませんでした";

}  // namespace

MicrophoneRecorder::MicrophoneRecorder(std::filesystem::path url, RecorderSettings settings)
    : url_(std::move(url)), settings_(settings) {
    if (settings_.formatID != RecorderSettings::kFormatMPEG4AAC)
        throw std::invalid_argument("この音声形式では録音できません");
    if (settings_.sampleRate < 8000 || settings_.sampleRate > 96000 || settings_.channels < 1 ||
        settings_.channels > 2 || settings_.bitRate <= 0)
        throw std::invalid_argument("この録音設定には対応していません");
}

MicrophoneRecorder::~MicrophoneRecorder() {
    stop();
}

void MicrophoneRecorder::record(WriteFailed onWriteFailed) {
    if (input_) return;
    auto input = std::make_shared<AudioInput>("tavro-mic");
    input->setConnectionWatch(watch_);
    try {
        input->open(AudioInput::Device::microphone);
    } catch (const AudioInput::Error& e) {
        // The server's own words ("Connection refused") mean nothing to the user.
        if (e.kind() == AudioInput::Error::Kind::server) throw std::runtime_error(kNoServer);
        throw std::runtime_error(kNoMicrophone);
    }
    writer_ = std::make_unique<AacFileWriter>(
        url_, AacSettings{settings_.sampleRate, settings_.channels, settings_.bitRate});
    recordCalledAt_ = std::chrono::steady_clock::now();
    awaitingFirstBlock_ = true;
    onWriteFailed_ = std::move(onWriteFailed);
    writeFailed_ = false;
    try {
        input->start(settings_.sampleRate, settings_.channels,
                     [this](const float* data, std::size_t frames, auto capturedAt) {
                         receive(data, frames, capturedAt);
                     });
    } catch (const AudioInput::Error& e) {
        writer_->cancel();
        writer_.reset();
        throw std::runtime_error(e.kind() == AudioInput::Error::Kind::server ? kNoServer : kRefused);
    } catch (...) {
        writer_->cancel();
        writer_.reset();
        throw;
    }
    std::lock_guard lock(inputMutex_);
    input_ = std::move(input);
}

bool MicrophoneRecorder::delivering() const {
    std::lock_guard lock(inputMutex_);
    return input_ && input_->recording();
}

void MicrophoneRecorder::receive(const float* interleaved, std::size_t frames,
                                 std::chrono::steady_clock::time_point capturedAt) {
    if (writeFailed_) return;
    try {
        if (awaitingFirstBlock_) {
            awaitingFirstBlock_ = false;
            // A source may take a while to deliver: silence stands in for the wait, so that the
            // file's time zero stays the moment record() was called.
            const double lead = std::chrono::duration<double>(capturedAt - recordCalledAt_).count();
            if (lead > 0)
                writer_->writeSilence(static_cast<std::size_t>(lead * settings_.sampleRate));
        }
        writer_->write(interleaved, frames);
    } catch (const AacFileWriter::WriteError& e) {
        writeFailed_ = true;
        if (onWriteFailed_) onWriteFailed_(e.code());
    }
}

void MicrophoneRecorder::stop() {
    if (!input_) return;
    input_->stop();
    {
        std::lock_guard lock(inputMutex_);
        input_.reset();
    }
    try {
        writer_->finish();
    } catch (...) {
        // The fragments already on disk still play; nothing better can be done here.
    }
    writer_.reset();
}
