// Plays beeps into two sinks at once: a sine burst of 0.15 s every second on each. Both streams
// are filled while corked and started together, so the two sides reach the server within a
// few milliseconds of each other, which two player processes started one after the other
// cannot promise on a busy machine. A process of its own, since the recorder leaves its own
// process's sounds out of the computer's audio.
// Usage: tavro_twin_player <beeps> <sink> <hz> <sink> <hz> [<interval ms> [default|<ms>]]
// A beep every second unless an interval is given; "default" leaves the first sink's buffer to the
// server, as an ordinary player does (about two seconds ahead), instead of a short one (100 ms, or
// as many milliseconds as given). The second
// sink stands for a microphone, which hears at once: it always gets a short buffer.
// Prints "ready" when both are filled, then reads a wall-clock time (nanoseconds since the
// epoch) from standard input, starts both at that time, and exits 0 once both have played. Before
// it exits it prints "apart <ms> <ms>": by the server's own account, how much later the first
// sink played its first sample than the second did, by the first report and by the last (which
// differs where a stream stalled or was moved, but only roughly: a sink that renders ahead keeps
// the read index ahead of what was heard). A sink that renders far ahead plays a new stream
// late, so two sinks in different states need not sound together; "apart ? ?" when the account
// is not believable (PipeWire's has played a sample before the start).
#include <pulse/pulseaudio.h>

#include <time.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "support/PulseSession.h"

namespace {

constexpr int kRate = 48000;
constexpr double kBeepSeconds = 0.15;
constexpr double kAmplitude = 0.5;

struct Side {
    pa_stream* stream = nullptr;
    std::vector<float> samples;
    std::size_t written = 0;  // samples handed to the server
    bool whole = false;       // written at once rather than as the server asks
    bool draining = false;
    bool played = false;
    std::optional<double> heardAt;      // wall-clock seconds, when the first sample played
    std::optional<double> lastHeardAt;  // the same by the last report: after a stall or a move
};

// When the first sample played, by the server's timing report, once the stream has played some.
std::optional<double> firstHeardAt(pa_stream* s) {
    const pa_timing_info* t = pa_stream_get_timing_info(s);
    if (!t || t->read_index_corrupt || t->read_index <= 0) return std::nullopt;
    // The sample at the read index goes into the sink at the report and is heard the sink's
    // latency later.
    return static_cast<double>(t->timestamp.tv_sec) + t->timestamp.tv_usec / 1e6 +
           static_cast<double>(t->sink_usec) / 1e6 -
           static_cast<double>(t->read_index) / sizeof(float) / kRate;
}

std::vector<float> beeps(int count, double hz, std::size_t interval) {
    std::vector<float> x(static_cast<std::size_t>(count) * interval, 0.0f);
    const auto beep = static_cast<std::size_t>(kBeepSeconds * kRate);
    for (int b = 0; b < count; ++b)
        for (std::size_t i = 0; i < beep; ++i)
            x[static_cast<std::size_t>(b) * interval + i] =
                static_cast<float>(kAmplitude * std::sin(2 * std::numbers::pi * hz * i / kRate));
    return x;
}

void onWritable(pa_stream* s, std::size_t bytes, void* user) {
    auto* side = static_cast<Side*>(user);
    // A short buffer gets everything at once: a player that is not scheduled in time on a busy
    // machine would run it dry, and the server would play the rest of that side late.
    const std::size_t n = std::min(side->whole ? SIZE_MAX : bytes / sizeof(float),
                                   side->samples.size() - side->written);
    if (n == 0) return;
    pa_stream_write(s, side->samples.data() + side->written, n * sizeof(float), nullptr, 0,
                    PA_SEEK_RELATIVE);
    side->written += n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc > 8) {
        std::cerr << "usage: tavro_twin_player <beeps> <sink> <hz> <sink> <hz> [<interval ms> "
                     "[default|<ms>]]\n";
        return 2;
    }
    const auto interval =
        static_cast<std::size_t>(argc > 6 ? std::atoi(argv[6]) * kRate / 1000 : kRate);
    const bool playerLatency = argc > 7 && std::string(argv[7]) == "default";
    const int shortMs = argc > 7 && !playerLatency ? std::max(1, std::atoi(argv[7])) : 100;
    using namespace std::chrono_literals;
    testsupport::PulseSession pulse;
    if (!pulse.connect(30s)) {
        std::cerr << "sound server: " << pulse.error() << "\n";
        return 1;
    }
    Side sides[2];
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, 1};
    for (int i = 0; i < 2; ++i) {
        Side& side = sides[i];
        const bool serverLatency = playerLatency && i == 0;
        side.samples = beeps(std::atoi(argv[1]), std::atof(argv[3 + 2 * i]), interval);
        side.whole = !serverLatency;
        side.stream = pa_stream_new(pulse.context(), "twin beeps", &format, nullptr);
        pa_stream_set_write_callback(side.stream, &onWritable, &side);
        // A short buffer keeps the sink's latency low. It is full before the uncork, so playing
        // starts at once.
        pa_buffer_attr attr{};
        attr.maxlength = attr.minreq = attr.prebuf = attr.fragsize = static_cast<std::uint32_t>(-1);
        attr.tlength = serverLatency
                           ? static_cast<std::uint32_t>(-1)
                           : static_cast<std::uint32_t>(pa_usec_to_bytes(
                                 static_cast<pa_usec_t>(i == 0 ? shortMs : 100) * 1000, &format));
        pa_stream_connect_playback(
            side.stream, argv[2 + 2 * i], &attr,
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_AUTO_TIMING_UPDATE |
                                           (serverLatency ? 0 : PA_STREAM_ADJUST_LATENCY)),
            nullptr, nullptr);
    }
    const auto both = [&](auto&& pred) { return pred(sides[0]) && pred(sides[1]); };
    const auto failed = [&] {
        return !both([](Side& s) { return PA_STREAM_IS_GOOD(pa_stream_get_state(s.stream)); });
    };
    // Ready and filled up to the buffer's length (the server asks for that much while corked).
    if (!pulse.runUntil(
            [&] {
                return failed() || both([](Side& s) {
                           return pa_stream_get_state(s.stream) == PA_STREAM_READY && s.written > 0;
                       });
            },
            30s) ||
        failed()) {
        std::cerr << "streams: " << pulse.error() << "\n";
        return 1;
    }
    std::cout << "ready" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    const std::int64_t at = std::atoll(line.c_str());
    const timespec when{static_cast<time_t>(at / 1'000'000'000),
                        static_cast<long>(at % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &when, nullptr) == EINTR) {
    }
    for (Side& side : sides)
        if (pa_operation* op = pa_stream_cork(side.stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
    const bool played = pulse.runUntil(
        [&] {
            for (Side& side : sides) {
                if (!side.heardAt) side.heardAt = firstHeardAt(side.stream);
                if (const auto at = firstHeardAt(side.stream)) side.lastHeardAt = at;
            }
            for (Side& side : sides)
                if (side.written == side.samples.size() && !side.draining) {
                    side.draining = true;
                    if (pa_operation* op = pa_stream_drain(
                            side.stream,
                            [](pa_stream*, int, void* played) {
                                *static_cast<bool*>(played) = true;
                            },
                            &side.played))
                        pa_operation_unref(op);
                }
            return failed() || both([](Side& s) { return s.played; });
        },
        120s);
    // A few milliseconds early is rounding.
    const double start = static_cast<double>(at) / 1e9 - 0.005;
    if (sides[0].heardAt && sides[1].heardAt && *sides[0].heardAt >= start &&
        *sides[1].heardAt >= start)
        std::cout << "apart " << std::lround((*sides[0].heardAt - *sides[1].heardAt) * 1000) << " "
                  << std::lround((*sides[0].lastHeardAt - *sides[1].lastHeardAt) * 1000)
                  << std::endl;
    else
        std::cout << "apart ? ?" << std::endl;
    for (Side& side : sides) {
        pa_stream_disconnect(side.stream);
        pa_stream_unref(side.stream);
    }
    return played && !failed() ? 0 : 1;
}
