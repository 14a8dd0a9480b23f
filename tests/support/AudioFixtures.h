#pragma once
// Helpers shared by the audio tests: tone files, decoding, tone levels and onsets, child
// processes, and private sound servers for the situations the shared test server must not be
// bent into.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/AacFileWriter.h"
#include "platform/AudioFileReader.h"
#include "platform/ChildProcess.h"
#include "support/TempDir.h"
#include "support/Tone.h"

namespace audiotest {

inline std::string fileText(const std::filesystem::path& p) {
    std::stringstream ss;
    ss << std::ifstream(p, std::ios::binary).rdbuf();
    return ss.str();
}

struct Tone {
    double freq = 1000;
    double seconds = 1;
    double amplitude = 0.5;
    double leadSilence = 0;
};

inline void writeToneM4a(const std::filesystem::path& path, const AacSettings& s, const Tone& t) {
    const auto lead = static_cast<std::size_t>(std::llround(t.leadSilence * s.sampleRate));
    const auto n = static_cast<std::size_t>(std::llround(t.seconds * s.sampleRate));
    std::vector<float> samples((lead + n) * s.channels, 0.0f);
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < s.channels; ++c)
            samples[(lead + i) * s.channels + c] = static_cast<float>(
                t.amplitude * std::sin(2 * std::numbers::pi * t.freq * i / s.sampleRate));
    AacFileWriter w(path, s);
    w.write(samples.data(), lead + n);
    w.finish();
}

// The whole track as interleaved samples.
inline std::vector<float> decode(const std::filesystem::path& path, int rate, int channels) {
    AudioFileReader reader(path, rate, channels);
    std::vector<float> all, block(4096 * channels);
    while (const std::size_t n = reader.read(block.data(), 4096))
        all.insert(all.end(), block.begin(), block.begin() + std::ptrdiff_t(n * channels));
    return all;
}

inline std::vector<float> decodeMono(const std::filesystem::path& path, int rate) {
    return decode(path, rate, 1);
}

inline float peak(const std::vector<float>& x) {
    float p = 0;
    for (float v : x) p = std::max(p, std::fabs(v));
    return p;
}

// Amplitude of `freq` in x[from, to).
inline double toneLevel(const std::vector<float>& x, int rate, double freq, std::size_t from = 0,
                        std::size_t to = SIZE_MAX) {
    to = std::min(to, x.size());
    if (to <= from) return 0;
    return testsupport::Tone::amplitudeAt(std::span<const float>(x).subspan(from, to - from), rate,
                                          freq);
}

// Seconds from the start to every 10 ms window where `freq` reaches half of `amplitude` after
// having fallen below a tenth of it (the first window counts when it starts loud) and holds for
// the 50 ms from there, so that a click is no onset.
inline std::vector<double> toneOnsets(const std::vector<float>& x, int rate, double freq,
                                      double amplitude) {
    const auto window = static_cast<std::size_t>(rate / 100);
    std::vector<double> onsets;
    bool sounding = false;
    for (std::size_t i = 0; i + window <= x.size(); i += window / 10) {
        const double level = toneLevel(x, rate, freq, i, i + window);
        if (!sounding && level >= amplitude / 2 &&
            toneLevel(x, rate, freq, i, i + 5 * window) >= amplitude / 2) {
            onsets.push_back(static_cast<double>(i + window / 2) / rate);
            sounding = true;
        } else if (level < amplitude / 10) {
            sounding = false;
        }
    }
    return onsets;
}

// The first of toneOnsets; nullopt when the tone never sounds.
inline std::optional<double> toneOnset(const std::vector<float>& x, int rate, double freq,
                                       double amplitude) {
    const auto all = toneOnsets(x, rate, freq, amplitude);
    if (all.empty()) return std::nullopt;
    return all.front();
}

// Runs a program found on PATH, with extra "NAME=value" environment entries; the destructor
// kills it if it still runs.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, std::vector<std::string> env = {}) {
        env.insert(env.end(), argv.begin(), argv.end());
        if (!(p_ = ChildProcess::spawn({"/usr/bin/env", env, ChildProcess::currentEnvironment()})))
            throw std::runtime_error("cannot run " + argv[0]);
    }
    ~Child() {
        p_->kill();
        wait();
    }
    pid_t pid() const { return p_->pid(); }
    bool running() const { return p_->running(); }
    // 0 for a clean exit.
    int wait() {
        const auto e = p_->waitUntil(std::chrono::steady_clock::now() + std::chrono::minutes(5));
        return e && e->success() ? 0 : 1;
    }

private:
    std::unique_ptr<ChildProcess> p_;
};

inline bool commandExists(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Sets (or, given nullptr, clears) an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_.c_str(), old_->c_str(), 1) : unsetenv(name_.c_str()); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Returns once `server` accepts connections on the Unix socket `path`; throws, with the text of
// `log`, when `server` ended first or it took more than a minute.
inline void awaitSocket(const std::string& path, const Child& server, const std::string& name,
                        const std::filesystem::path& log) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    // A generous bound: on a busy machine a server can take many seconds to come up.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (up) return;
        if (std::chrono::steady_clock::now() > deadline || !server.running())
            throw std::runtime_error(name + " did not start: " + fileText(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// A throw-away sound server with the given configuration lines (the native protocol module is
// added). While it lives, PULSE_SERVER points at it.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const std::string& config) {
        const std::string d = dir_.path().string(), socket = d + "/native";
        std::ofstream(d + "/server.pa")
            << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket << "\n"
            << config;
        start();
        env_.emplace("PULSE_SERVER", ("unix:" + socket).c_str());
    }

    // Kills the server, as a crash does.
    void kill() { child_.reset(); }
    // Starts it again after kill(): the same socket, the same devices.
    void start() {
        const std::string d = dir_.path().string(), socket = d + "/native";
        // Off the test session bus, where only one server may own its name.
        child_.emplace(
            std::vector<std::string>{"pulseaudio", "-n", "-F", d + "/server.pa", "--daemonize=no",
                                     "--exit-idle-time=-1", "--disallow-exit", "--use-pid-file=no",
                                     "--log-target=file:" + d + "/log"},
            std::vector<std::string>{"XDG_RUNTIME_DIR=" + d, "HOME=" + d, "PULSE_RUNTIME_PATH=" + d,
                                     "PULSE_STATE_PATH=" + d,
                                     "DBUS_SESSION_BUS_ADDRESS=unix:path=" + d + "/no-bus"});
        awaitSocket(socket, *child_, "private sound server", d + "/log");
    }

private:
    testsupport::TempDir dir_;
    std::optional<Child> child_;
    std::optional<ScopedEnv> env_;
};

}  // namespace audiotest
