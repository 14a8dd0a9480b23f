#pragma once
// PipeWire with its PulseAudio server, started for one test.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/AudioFixtures.h"
#include "support/PulseSession.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace audiotest {

// PipeWire, its PulseAudio server and its session manager, started for a test and stopped when
// the object goes. Nothing of the machine's is used: no sound card, session bus or user services;
// sockets, settings and state live in a temporary folder. `config` holds lines as a PulseAudio
// server reads them ("load-module …", "set-default-sink …", "set-default-source …"), sent the
// way pactl sends them; the constructor returns once the session manager has made the named
// devices the defaults. While the object lives, PULSE_SERVER points at the server.
class PrivatePipeWire {
public:
    // Whether the programs are installed.
    static testsupport::EnvProbe probe() {
        for (const char* program : {"pipewire", "pipewire-pulse", "wireplumber"})
            if (!commandExists(program))
                return {false, std::string(program) +
                                   " is not installed (scripts/install-deps.sh --with-tests)"};
        return {true, {}};
    }

    explicit PrivatePipeWire(const std::string& config) : config_(config) { start(); }

    // Stops the three servers at once (as a restart of the user's sound services does).
    void kill() {
        pulse_.reset();
        sessionManager_.reset();
        pipewire_.reset();
    }
    // Starts them again after kill(): the same sockets, the same devices and defaults.
    void start() {
        const std::filesystem::path d = dir_.path();
        // The session manager looks for sound cards, cameras and Bluetooth devices and asks the
        // portal over the session bus; without a bus the Bluetooth part, which also asks
        // logind, makes it quit. These files run before the stock 90-enable-all.lua, which acts
        // on the settings.
        const auto wp = d / "config/wireplumber";
        std::filesystem::create_directories(wp / "main.lua.d");
        std::filesystem::create_directories(wp / "bluetooth.lua.d");
        std::ofstream(wp / "main.lua.d/60-private.lua")
            << "alsa_monitor.enabled = false\n"
               "v4l2_monitor.enabled = false\n"
               "libcamera_monitor.enabled = false\n"
               "default_access.properties[\"enable-flatpak-portal\"] = false\n";
        std::ofstream(wp / "bluetooth.lua.d/60-private.lua") << "bluez_monitor.enabled = false\n";
        const std::vector<std::string> env = {
            "XDG_RUNTIME_DIR=" + d.string(), "PIPEWIRE_RUNTIME_DIR=" + d.string(),
            // Else the PulseAudio server would go for the test session's socket.
            "PULSE_RUNTIME_PATH=" + (d / "pulse").string(), "HOME=" + d.string(),
            "XDG_CONFIG_HOME=" + (d / "config").string(),
            "XDG_STATE_HOME=" + (d / "state").string(),
            // Off the test session bus: nothing here needs one.
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (d / "no-bus").string()};

        // The session manager gives up when PipeWire does not listen yet.
        pipewire_.emplace(logged("pipewire"), env);
        awaitSocket((d / "pipewire-0").string(), *pipewire_, "PipeWire", d / "pipewire.log");
        sessionManager_.emplace(logged("wireplumber"), env);
        pulse_.emplace(logged("pipewire-pulse"), env);
        const std::string socket = (d / "pulse/native").string();
        awaitSocket(socket, *pulse_, "PipeWire's PulseAudio server", d / "pipewire-pulse.log");
        if (!pulseServer_) pulseServer_.emplace("PULSE_SERVER", ("unix:" + socket).c_str());
        configure(config_);
    }

private:
    static constexpr std::chrono::seconds kBound{60};  // for a busy machine

    // Runs `program` with its output in a log file of the same name.
    std::vector<std::string> logged(const std::string& program) const {
        return {"sh", "-c",
                "exec " + program + " >'" + (dir_.path() / (program + ".log")).string() + "' 2>&1"};
    }

    std::string logs() const {
        std::string text;
        for (const char* program : {"pipewire", "wireplumber", "pipewire-pulse"})
            text += "\n" + std::string(program) + ": " +
                    fileText(dir_.path() / (std::string(program) + ".log"));
        return text;
    }

    // One line of `config`: "load-module module-null-sink sink_name=spk" is the command, the
    // name and the arguments.
    struct Line {
        std::string command, name, arguments;
        explicit Line(const std::string& text) {
            std::istringstream words(text);
            words >> command >> name;
            std::getline(words >> std::ws, arguments);
        }
    };

    // Waits for `op` to set `done`; an operation left unanswered is cancelled, so that its
    // callback never reaches the caller's gone variables.
    static bool finish(testsupport::PulseSession& pulse, pa_operation* op, const bool& done) {
        if (!op) return false;
        const bool answered = pulse.runUntil([&] { return done; }, kBound);
        if (!answered) pa_operation_cancel(op);
        pa_operation_unref(op);
        return answered;
    }

    // Sends one line; returns the server's error text, empty on success.
    static std::string send(testsupport::PulseSession& pulse, const Line& line) {
        struct Reply {
            bool done = false;
            bool ok = false;
        } reply;
        pa_operation* op = nullptr;
        if (line.command == "load-module") {
            op = pa_context_load_module(
                pulse.context(), line.name.c_str(), line.arguments.c_str(),
                [](pa_context*, std::uint32_t index, void* r) {
                    *static_cast<Reply*>(r) = {true, index != PA_INVALID_INDEX};
                },
                &reply);
        } else {
            op = (line.command == "set-default-sink" ? &pa_context_set_default_sink
                                                     : &pa_context_set_default_source)(
                pulse.context(), line.name.c_str(),
                [](pa_context*, int success, void* r) {
                    *static_cast<Reply*>(r) = {true, success != 0};
                },
                &reply);
        }
        return finish(pulse, op, reply.done) && reply.ok ? std::string() : pulse.error();
    }

    void configure(const std::string& config) {
        testsupport::PulseSession pulse;
        if (!pulse.connect(kBound))
            throw std::runtime_error("PipeWire's PulseAudio server: " + pulse.error() + logs());
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        std::string sink, source;  // the defaults asked for
        std::istringstream lines(config);
        for (std::string text; std::getline(lines, text);) {
            const Line line(text);
            const bool setsDefault =
                line.command == "set-default-sink" || line.command == "set-default-source";
            if (line.command.empty()) continue;
            if (line.command != "load-module" && !setsDefault)
                throw std::invalid_argument("not a command for the private PipeWire: " + text);
            // Defaults are refused until the session manager has published where it keeps them.
            std::string error;
            while (!(error = send(pulse, line)).empty() && setsDefault &&
                   std::chrono::steady_clock::now() < deadline && sessionManager_->running())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!error.empty()) throw std::runtime_error(text + ": " + error + logs());
            if (setsDefault) (line.command == "set-default-sink" ? sink : source) = line.name;
        }
        // The session manager takes them up a moment later.
        for (;;) {
            struct Defaults {
                bool done = false;
                std::string sink, source;
            } now;
            if (pa_operation* op = pa_context_get_server_info(
                    pulse.context(),
                    [](pa_context*, const pa_server_info* info, void* p) {
                        auto* now = static_cast<Defaults*>(p);
                        now->done = true;
                        if (info && info->default_sink_name) now->sink = info->default_sink_name;
                        if (info && info->default_source_name)
                            now->source = info->default_source_name;
                    },
                    &now))
                finish(pulse, op, now.done);
            if ((sink.empty() || now.sink == sink) && (source.empty() || now.source == source))
                return;
            if (std::chrono::steady_clock::now() > deadline || !sessionManager_->running())
                throw std::runtime_error("the session manager did not take the defaults " + sink +
                                         " and " + source + logs());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    testsupport::TempDir dir_;
    std::string config_;
    // Stopped in reverse order: the PulseAudio server and the session manager before PipeWire.
    std::optional<Child> pipewire_, sessionManager_, pulse_;
    std::optional<ScopedEnv> pulseServer_;
};

}  // namespace audiotest
