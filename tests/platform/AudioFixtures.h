#pragma once
// Helpers shared by the audio tests: tone files, decoding, tone levels and onsets, child
// processes, and private sound servers for the situations the shared test server must not be
// bent into.
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
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
#include "platform/AudioInput.h"
#include "support/TempDir.h"
#include "support/Tone.h"

extern char** environ;

namespace audiotest {

struct Tone {
    double freq = 1000;
    double seconds = 1;
    double amplitude = 0.5;
    double leadSilence = 0;
};

inline std::vector<float> toneSamples(const Tone& t, int rate, int channels) {
    const auto lead = static_cast<std::size_t>(std::llround(t.leadSilence * rate));
    const auto n = static_cast<std::size_t>(std::llround(t.seconds * rate));
    std::vector<float> out((lead + n) * channels, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        const auto v =
            static_cast<float>(t.amplitude * std::sin(2 * std::numbers::pi * t.freq * i / rate));
        for (int c = 0; c < channels; ++c) out[(lead + i) * channels + c] = v;
    }
    return out;
}

inline void writeToneM4a(const std::filesystem::path& path, const AacSettings& s, const Tone& t) {
    AacFileWriter w(path, s);
    const auto samples = toneSamples(t, s.sampleRate, s.channels);
    w.write(samples.data(), samples.size() / s.channels);
    w.finish();
}

// The whole track as interleaved samples.
inline std::vector<float> decode(const std::filesystem::path& path, int rate, int channels) {
    AudioFileReader reader(path, rate, channels);
    std::vector<float> all;
    std::vector<float> block(4096 * channels);
    while (const std::size_t n = reader.read(block.data(), 4096))
        all.insert(all.end(), block.begin(),
                   block.begin() + static_cast<std::ptrdiff_t>(n * channels));
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

// Seconds from the start to the first 10 ms window where `freq` reaches half of `amplitude`;
// nullopt when it never does.
inline std::optional<double> toneOnset(const std::vector<float>& x, int rate, double freq,
                                       double amplitude) {
    const auto window = static_cast<std::size_t>(rate / 100);
    const std::size_t step = window / 10;
    for (std::size_t i = 0; i + window <= x.size(); i += step)
        if (toneLevel(x, rate, freq, i, i + window) >= amplitude / 2)
            return static_cast<double>(i + window / 2) / rate;
    return std::nullopt;
}

// Runs a program with arguments; the destructor kills it if it still runs.
class Child {
public:
    explicit Child(std::vector<std::string> argv,
                   const std::vector<std::pair<std::string, std::string>>& env = {}) {
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
        for (const auto& [k, v] : env) {
            std::erase_if(envStrings,
                          [&](const std::string& s) { return s.rfind(k + "=", 0) == 0; });
            envStrings.push_back(k + "=" + v);
        }
        std::vector<char*> args, envp;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), envp.data()) != 0)
            throw std::runtime_error("cannot run " + argv[0]);
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }
    int wait() {
        int status = 0;
        if (pid_ > 0) waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
};

inline bool commandExists(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Sets or clears an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A throw-away sound server with the given configuration lines (the native protocol module is
// added). While it lives, PULSE_SERVER points at it.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const std::string& config) {
        socket_ = (dir_.path() / "native").string();
        std::ofstream(dir_.path() / "server.pa")
            << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket_ << "\n"
            << config;
        const std::string d = dir_.path().string();
        child_.emplace(
            std::vector<std::string>{"pulseaudio", "-n", "-F", d + "/server.pa", "--daemonize=no",
                                     "--exit-idle-time=-1", "--disallow-exit", "--use-pid-file=no",
                                     "--log-target=file:" + d + "/log"},
            std::vector<std::pair<std::string, std::string>>{
                {"XDG_RUNTIME_DIR", d},
                {"HOME", d},
                {"PULSE_RUNTIME_PATH", d},
                {"PULSE_STATE_PATH", d},
                // Off the test session bus, where
                // only one server may own its name.
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + d + "/no-bus"}});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!accepting()) {
            if (std::chrono::steady_clock::now() > deadline || !child_->running()) {
                std::ifstream log(dir_.path() / "log");
                std::stringstream text;
                text << log.rdbuf();
                throw std::runtime_error("private sound server did not start: " + text.str());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        env_.emplace("PULSE_SERVER", ("unix:" + socket_).c_str());
    }

private:
    bool accepting() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socket_.c_str(), sizeof addr.sun_path - 1);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        return ok;
    }

    testsupport::TempDir dir_;
    std::string socket_;
    std::optional<Child> child_;
    std::optional<ScopedEnv> env_;
};

// The sound server of one test case: a private one with the given devices, or none at all.
class SoundServerSituation {
public:
    explicit SoundServerSituation(const std::optional<std::string>& devices) {
        if (devices)
            server_.emplace(*devices);
        else
            noServer_.emplace("PULSE_SERVER", "unix:/nonexistent/tavro-test/native");
    }

private:
    std::optional<PrivateSoundServer> server_;
    std::optional<ScopedEnv> noServer_;
};

}  // namespace audiotest
