#include "engine/SystemAudioCapture.h"

#include <chrono>
#include <system_error>

#include "platform/AudioError.h"
#include "platform/AudioMixer.h"
#include "platform/SystemSound.h"

SystemAudioCapture::~SystemAudioCapture() {
    stop();
}

void SystemAudioCapture::start(const std::filesystem::path& url, WriteFailed onWriteFailed) {
    if (input_) stop();  // one capture at a time

    auto input = std::make_shared<AudioInput>("tavro.sysaudio");
    input->setKeptOutSounds([](AudioInput::TimePoint since, int sampleRate) {
        std::vector<AudioInput::KeptOutSound> sounds;
        for (const SystemSound::Cue& cue : SystemSound::cuesSince(since)) {
            // The app's other cues: "Pop" shares much with "Tink".
            std::vector<std::shared_ptr<const std::vector<float>>> alike;
            for (const char* name : {"Tink", "Pop", "Glass"})
                if (const std::string other = SystemSound::themeEventFor(name); other != cue.event)
                    alike.push_back(SystemSound::shapeOf(other, sampleRate));
            sounds.push_back({cue.requestedAt, SystemSound::shapeOf(cue.event, sampleRate),
                              cue.endedAt, std::move(alike)});
        }
        return sounds;
    });
    input->setConnectionWatch(watch_);
    try {
        input->open(AudioInput::Device::computerOutput);
    } catch (const AudioInput::Error& e) {
        if (e.kind() == AudioInput::Error::Kind::noDevice) throw AudioError::noDisplay();
        throw;
    }

    std::error_code ignored;
    std::filesystem::remove(url, ignored);
    try {
        writer_ = std::make_unique<AacFileWriter>(url, kCaptureSettings);
    } catch (const std::runtime_error& e) {
        if (*e.what() == '\0') throw AudioError::writerCouldNotStart();
        throw;
    }

    sessionStarted_ = false;
    onWriteFailed_ = std::move(onWriteFailed);
    writeFailed_ = false;
    {
        std::lock_guard lock(mutex_);
        firstSampleAt_.reset();
        outputURL_ = url;
    }
    try {
        input->start(kCaptureSettings.sampleRate, kCaptureSettings.channels,
                     [this](const float* data, std::size_t frames, Timestamp capturedAt) {
                         receive(data, frames, capturedAt);
                     });
    } catch (...) {
        // Leave nothing half-done behind: no open writer, no partial companion file.
        writer_->cancel();
        writer_.reset();
        std::lock_guard lock(mutex_);
        outputURL_.reset();
        throw;
    }
    input_ = std::move(input);
    std::lock_guard lock(inputMutex_);
    running_ = input_;
}

void SystemAudioCapture::receive(const float* interleaved, std::size_t frames,
                                 Timestamp capturedAt) {
    if (writeFailed_) return;
    {
        std::lock_guard lock(mutex_);
        // An idle sink may take seconds to deliver, so the first sample, not the start, times
        // the track. The blocks after it are laid end to end on the clock by the input (a gap
        // comes as silence), so they are written back to back.
        if (!sessionStarted_.load(std::memory_order_relaxed)) {
            firstSampleAt_ = capturedAt;
            sessionStarted_ = true;
        }
    }
    try {
        writer_->write(interleaved, frames);
    } catch (const AacFileWriter::WriteError& e) {
        writeFailed_ = true;
        if (onWriteFailed_) onWriteFailed_(e.code());
    }
}

std::optional<std::filesystem::path> SystemAudioCapture::stop() {
    if (!input_ || !writer_) return std::nullopt;
    input_->stop();  // no block arrives after this
    {
        std::lock_guard lock(inputMutex_);
        running_.reset();
    }
    input_.reset();
    const bool started = sessionStarted_;
    if (started) {
        try {
            writer_->finish();
        } catch (...) {
            // A damaged file fails later in mix(), and the caller falls back to the microphone.
        }
    } else {
        writer_->cancel();
    }
    writer_.reset();
    std::lock_guard lock(mutex_);
    auto url = std::move(outputURL_);
    outputURL_.reset();
    if (!started) return std::nullopt;
    return url;
}

std::optional<SystemAudioCapture::Timestamp> SystemAudioCapture::firstSampleAt() const {
    std::lock_guard lock(mutex_);
    return firstSampleAt_;
}

bool SystemAudioCapture::waitForAudio(std::chrono::milliseconds length,
                                      std::chrono::milliseconds atMost) const {
    const auto frames =
        static_cast<std::uint64_t>(length.count()) * kCaptureSettings.sampleRate / 1000;
    std::shared_ptr<AudioInput> input;
    {
        std::lock_guard lock(inputMutex_);
        input = running_;
    }
    return input && input->waitForArrival(frames, atMost);
}

bool SystemAudioCapture::recording() const {
    std::lock_guard lock(inputMutex_);
    return running_ && running_->recording();
}

std::optional<std::filesystem::path> SystemAudioCapture::outputURL() const {
    std::lock_guard lock(mutex_);
    return outputURL_;
}

void SystemAudioCapture::mix(const std::filesystem::path& mic, Timestamp micStartedAt,
                             const std::filesystem::path& system, Timestamp systemStartedAt,
                             const std::filesystem::path& out) {
    const Timestamp earliest = std::min(micStartedAt, systemStartedAt);
    const auto delay = [&](Timestamp t) {
        return std::chrono::duration<double>(t - earliest).count();
    };
    mixAudioFiles({{mic, delay(micStartedAt)}, {system, delay(systemStartedAt)}}, out,
                  kMixSettings);
}
