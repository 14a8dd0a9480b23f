#pragma once
// Child processes started with an explicit environment and chosen standard streams. Every child
// is reaped by a watcher thread of its own, whether or not anybody waits for it, so none is
// left a zombie. The first spawn ignores SIGPIPE process-wide, so that writing to a child that
// has gone away returns an error instead of ending the application; children get the default
// disposition back.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PipeWriter.h"

class ChildProcess {
public:
    enum class Input { null, inherit, pipe };
    // capture: standard output and standard error into one pipe, read while waiting;
    // captureStdout: standard output alone, standard error inherited.
    enum class Output { null, inherit, capture, captureStdout };

    struct Options {
        std::string program;                   // path of the executable; PATH is not searched
        std::vector<std::string> arguments;    // after argv[0], which is `program`
        std::vector<std::string> environment;  // the child's whole environment, "NAME=value"
        Input input = Input::null;
        Output output = Output::null;
        // A group of its own, so that a deadline also ends what the child started.
        bool newProcessGroup = false;
        // A session of its own (and a group): the child is untouched by the application's
        // terminal and outlives the application.
        bool newSession = false;
        // Captured output past this many bytes is read and dropped, so that a runaway child
        // cannot fill our memory; outputOverflowed() tells.
        std::size_t outputLimit = std::numeric_limits<std::size_t>::max();
    };

    // How a child ended: its exit code, or the number of the signal that ended it.
    struct Exit {
        bool signaled = false;
        int status = 0;
        bool operator==(const Exit&) const = default;
        bool success() const { return !signaled && status == 0; }
    };

    // Starts the child; nullptr, with a message in `error`, when it cannot be started.
    static std::unique_ptr<ChildProcess> spawn(const Options& options,
                                               std::string* error = nullptr);

    // This process's environment as "NAME=value" entries.
    static std::vector<std::string> currentEnvironment();

    // Done once by the first spawn; callable earlier, e.g. at start-up.
    static void ignoreBrokenPipeSignal();

    // Neither waits for the child nor ends it; the child is still reaped when it ends.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const;
    // The writing end of the child's standard input with Input::pipe, else nullptr.
    std::shared_ptr<PipeWriter> input() const { return input_; }

    bool running() const;
    std::optional<Exit> exitStatus() const;

    // Waits for the end, reading captured output meanwhile so that a child writing more than a
    // pipe holds never stalls. At the deadline the child (with its group, if it has one) gets
    // SIGTERM, after `grace` SIGKILL, and the result is nullopt.
    std::optional<Exit> waitUntil(std::chrono::steady_clock::time_point deadline,
                                  std::chrono::milliseconds grace = std::chrono::seconds(1));

    // The captured output read so far.
    const std::string& output() const { return output_; }
    bool outputOverflowed() const { return outputOverflowed_; }

    // Signal the child, with its group when it has one (so that whatever it started ends too),
    // while it has not been reaped.
    void terminate();
    void kill();

    // Calls `handler` once when the child has ended: on the watcher thread, or at once on the
    // calling thread when the child has already ended.
    void onExit(std::function<void(Exit)> handler);

private:
    struct State;
    explicit ChildProcess(std::shared_ptr<State> state);
    void readAvailable();
    void closeOutput();
    void signal(int sig);

    std::shared_ptr<State> state_;
    int outputFd_ = -1;
    std::string output_;
    std::size_t outputLimit_ = 0;
    bool outputOverflowed_ = false;
    std::shared_ptr<PipeWriter> input_;
};
