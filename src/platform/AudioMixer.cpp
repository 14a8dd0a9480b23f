#include "platform/AudioMixer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/AudioError.h"
#include "platform/AudioFileReader.h"

namespace {

constexpr std::size_t kBlockFrames = 8192;

struct Source {
    std::unique_ptr<AudioFileReader> reader;
    std::int64_t delay = 0;  // in output frames
    bool ended = false;
};

// A unique, empty file beside `out`; removed again unless release() is called.
class TempFile {
public:
    explicit TempFile(const std::filesystem::path& out) {
        std::string tmpl = out.string() + ".partial-XXXXXX";
        const int fd = mkstemp(tmpl.data());
        if (fd < 0) throw std::system_error(errno, std::generic_category(), tmpl);
        ::close(fd);
        path_ = tmpl;
    }
    ~TempFile() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::filesystem::path path_;
};

void syncFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
    const int ret = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (ret != 0) throw std::system_error(err, std::generic_category(), path.string());
}

}  // namespace

void mixAudioFiles(const std::vector<MixTrack>& tracks, const std::filesystem::path& out,
                   const AacSettings& settings) {
    if (tracks.empty()) throw AudioError::mixFailure();
    const int channels = settings.channels;

    // Every source is opened before anything is written, so a bad input leaves no trace.
    std::vector<Source> sources;
    for (const MixTrack& t : tracks) {
        Source s;
        try {
            s.reader = std::make_unique<AudioFileReader>(t.path, settings.sampleRate, channels);
        } catch (const AudioFileReader::NoAudioTrack&) {
            throw AudioError::mixFailure();
        }
        s.delay = std::max<std::int64_t>(0, std::llround(t.delaySeconds * settings.sampleRate));
        sources.push_back(std::move(s));
    }

    TempFile temp(out);
    {
        AacFileWriter writer(temp.path(), settings);
        std::vector<float> mix(kBlockFrames * channels);
        std::vector<float> scratch(kBlockFrames * channels);
        for (std::int64_t pos = 0;; pos += kBlockFrames) {
            std::fill(mix.begin(), mix.end(), 0.0f);
            std::size_t used = 0;  // frames of this block inside the mix's timeline
            bool more = false;
            for (Source& s : sources) {
                if (s.ended) continue;
                if (s.delay >= pos + static_cast<std::int64_t>(kBlockFrames)) {
                    more = true;  // starts in a later block
                    continue;
                }
                const auto offset =
                    static_cast<std::size_t>(std::max<std::int64_t>(0, s.delay - pos));
                const std::size_t want = kBlockFrames - offset;
                const std::size_t got = s.reader->read(scratch.data(), want);
                float* dst = mix.data() + offset * channels;
                for (std::size_t i = 0; i < got * channels; ++i) dst[i] += scratch[i];
                if (got < want) {
                    s.ended = true;
                    used = std::max(used, offset + got);
                } else {
                    more = true;
                }
            }
            if (more) used = kBlockFrames;
            // Decoded AAC overshoots full scale and two loud tracks add up: clamp.
            for (std::size_t i = 0; i < used * channels; ++i)
                mix[i] = std::clamp(mix[i], -1.0f, 1.0f);
            if (used > 0) writer.write(mix.data(), used);
            if (!more) break;
        }
        writer.finish();
    }
    syncFile(temp.path());
    std::error_code ec;
    std::filesystem::rename(temp.path(), out, ec);
    if (ec) throw std::system_error(ec, out.string());
    temp.release();
}
