#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>

extern char** environ;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct ChildProcess::State {
    pid_t pid = -1;
    bool grouped = false;
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<Exit> exit;
    std::vector<std::function<void(Exit)>> handlers;
};

namespace {

ChildProcess::Exit exitFrom(int status) {
    if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
    return {false, WEXITSTATUS(status)};
}

// Waits without reaping first, so that the pid stays reserved (and safe to signal) until the
// exit is recorded under the lock.
template <typename StatePtr>
void watch(StatePtr state) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(state->pid), &info, WEXITED | WNOWAIT) == -1 &&
           errno == EINTR) {
    }
    ChildProcess::Exit exit;
    std::vector<std::function<void(ChildProcess::Exit)>> handlers;
    {
        std::lock_guard lock(state->mutex);
        int status = 0;
        pid_t reaped;
        do {
            reaped = waitpid(state->pid, &status, 0);
        } while (reaped == -1 && errno == EINTR);
        // Reaped by someone else (SIGCHLD set to SIG_IGN): ended, with nothing known.
        exit = reaped == state->pid ? exitFrom(status) : ChildProcess::Exit{false, -1};
        state->exit = exit;
        handlers.swap(state->handlers);
    }
    state->ended.notify_all();
    for (auto& handler : handlers) handler(exit);
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

void ChildProcess::ignoreBrokenPipeSignal() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

std::vector<std::string> ChildProcess::currentEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    return env;
}

std::unique_ptr<ChildProcess> ChildProcess::spawn(const Options& options, std::string* error) {
    ignoreBrokenPipeSignal();
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    auto fail = [&](int err) -> std::unique_ptr<ChildProcess> {
        for (int* fd : {&in[0], &in[1], &out[0], &out[1]}) closeFd(*fd);
        if (error) *error = options.program + ": " + std::system_category().message(err);
        return nullptr;
    };
    if (options.input == Input::pipe && pipe2(in, O_CLOEXEC) != 0) return fail(errno);
    const bool capture =
        options.output == Output::capture || options.output == Output::captureStdout;
    if (capture && pipe2(out, O_CLOEXEC) != 0) return fail(errno);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    switch (options.input) {
        case Input::null:
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
            break;
        case Input::pipe:
            posix_spawn_file_actions_adddup2(&actions, in[0], 0);
            break;
        case Input::inherit:
            break;
    }
    switch (options.output) {
        case Output::null:
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
            break;
        case Output::capture:
            posix_spawn_file_actions_adddup2(&actions, out[1], 1);
            posix_spawn_file_actions_adddup2(&actions, out[1], 2);
            break;
        case Output::captureStdout:
            posix_spawn_file_actions_adddup2(&actions, out[1], 1);
            break;
        case Output::inherit:
            break;
    }
    // Descriptors that lack close-on-exec (other libraries' sockets, lock files) stay with us; a
    // child that outlives the application must not hold them open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
    else if (options.newProcessGroup)
        flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setflags(&attr, flags);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    // Ignored signals survive exec; the child should see the usual dispositions.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2,
                    SIGTSTP, SIGTTIN, SIGTTOU})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.program.c_str()));
    for (const auto& a : options.arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : options.environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, options.program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(in[0]);
    closeFd(out[1]);
    if (rc != 0) return fail(rc);

    auto state = std::make_shared<State>();
    state->pid = pid;
    state->grouped = options.newSession || options.newProcessGroup;
    try {
        std::thread(watch<std::shared_ptr<State>>, state).detach();
    } catch (const std::system_error& e) {
        // Without a watcher nobody would reap it: end it now rather than leave a zombie.
        ::kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
        }
        return fail(e.code().value());
    }

    std::unique_ptr<ChildProcess> child(new ChildProcess(std::move(state)));
    if (out[0] >= 0) {
        fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
        child->outputFd_ = out[0];
        child->outputLimit_ = options.outputLimit;
    }
    if (in[1] >= 0) child->input_ = std::make_shared<PipeWriter>(in[1]);
    return child;
}

ChildProcess::ChildProcess(std::shared_ptr<State> state) : state_(std::move(state)) {}

ChildProcess::~ChildProcess() {
    closeOutput();
}

pid_t ChildProcess::pid() const {
    return state_->pid;
}

bool ChildProcess::running() const {
    return !exitStatus();
}

std::optional<ChildProcess::Exit> ChildProcess::exitStatus() const {
    std::lock_guard lock(state_->mutex);
    return state_->exit;
}

void ChildProcess::readAvailable() {
    char buf[65536];
    while (outputFd_ >= 0) {
        const ssize_t n = ::read(outputFd_, buf, sizeof buf);
        if (n > 0) {
            const std::size_t room = outputLimit_ - output_.size();
            output_.append(buf, std::min(static_cast<std::size_t>(n), room));
            outputOverflowed_ = outputOverflowed_ || static_cast<std::size_t>(n) > room;
        } else if (n == 0) {
            closeOutput();
        } else if (errno != EINTR) {
            if (errno != EAGAIN) closeOutput();
            return;
        }
    }
}

void ChildProcess::closeOutput() {
    closeFd(outputFd_);
}

std::optional<ChildProcess::Exit> ChildProcess::waitUntil(Clock::time_point deadline,
                                                          std::chrono::milliseconds grace) {
    // True once the child has ended; output is read to its end (or as far as it is available,
    // when a grandchild still holds the pipe).
    auto waitFor = [this](Clock::time_point until) {
        for (;;) {
            if (exitStatus()) {
                readAvailable();
                return true;
            }
            const auto now = Clock::now();
            if (now >= until) return false;
            // Short slices: the end of the child is noticed even while a grandchild keeps the
            // output pipe open.
            const auto slice = std::min<Clock::duration>(until - now, 50ms);
            if (outputFd_ >= 0) {
                pollfd p{outputFd_, POLLIN, 0};
                const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice).count();
                if (poll(&p, 1, static_cast<int>(ms)) > 0) readAvailable();
            } else {
                std::unique_lock lock(state_->mutex);
                state_->ended.wait_for(lock, slice, [this] { return state_->exit.has_value(); });
            }
        }
    };
    if (waitFor(deadline)) return exitStatus();
    signal(SIGTERM);
    if (!waitFor(Clock::now() + grace)) {
        signal(SIGKILL);
        waitFor(Clock::now() + 5s);
    }
    return std::nullopt;
}

void ChildProcess::signal(int sig) {
    std::lock_guard lock(state_->mutex);
    if (state_->exit) return;  // reaped: the pid may belong to someone else by now
    ::kill(state_->grouped ? -state_->pid : state_->pid, sig);
}

void ChildProcess::terminate() {
    signal(SIGTERM);
}

void ChildProcess::kill() {
    signal(SIGKILL);
}

void ChildProcess::onExit(std::function<void(Exit)> handler) {
    std::unique_lock lock(state_->mutex);
    if (!state_->exit) {
        state_->handlers.push_back(std::move(handler));
        return;
    }
    const Exit exit = *state_->exit;
    lock.unlock();
    handler(exit);
}
