#include "agents/AgentAuth.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "util/Json.h"
#include "util/Text.h"

namespace AgentAuth {

namespace {

struct RunResult {
    std::string out;
    int code;
};

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

// The application's environment with PATH = the search folders, the system folders, then the
// inherited PATH.
std::vector<std::string> environment(const std::vector<std::string>& dirs) {
    std::string path;
    for (const auto& d : dirs) path += d + ":";
    path += "/usr/bin:/bin";
    std::vector<std::string> env;
    for (auto& entry : ChildProcess::currentEnvironment()) {
        if (entry.starts_with("PATH=")) {
            // An empty inherited PATH adds nothing: an empty entry would mean the current folder.
            if (entry.size() > 5) path += ":" + entry.substr(5);
        } else {
            env.push_back(std::move(entry));
        }
    }
    env.push_back("PATH=" + path);
    return env;
}

// Runs one command with the output of both streams collected; nothing when it cannot start or
// runs past the time limit (it is then ended).
std::optional<RunResult> run(const std::string& path, const std::vector<std::string>& args,
                             const Options& options) {
    ChildProcess::Options o;
    o.program = path;
    o.arguments = args;
    o.environment = environment(options.searchDirs);
    o.input = ChildProcess::Input::null;
    o.output = ChildProcess::Output::capture;
    o.newProcessGroup = true;
    auto child = ChildProcess::spawn(o);
    if (!child) return std::nullopt;
    const auto exit = child->waitUntil(std::chrono::steady_clock::now() + options.timeout);
    if (!exit) return std::nullopt;
    std::string out = child->output();
    if (!text::isValidUtf8(out)) out.clear();
    return RunResult{std::move(out), exit->status};
}

AgentStatus claudeStatus(const std::optional<RunResult>& result) {
    const AgentStatus notSignedIn{true, false, std::nullopt};
    if (!result) return notSignedIn;
    const auto brace = result->out.find('{');
    if (brace == std::string::npos) return notSignedIn;
    const auto parsed = json::tryParse(std::string_view(result->out).substr(brace));
    if (!parsed || !parsed->is_object()) return notSignedIn;
    const json::Value& obj = *parsed;

    auto stringMember = [&](const char* key) -> std::optional<std::string> {
        const auto it = obj.find(key);
        if (it == obj.end() || !it->is_string()) return std::nullopt;
        return json::asString(*it, key);
    };
    const auto loggedIn = obj.find("loggedIn");
    if (loggedIn == obj.end() || !loggedIn->is_boolean() || !json::asBool(*loggedIn, "loggedIn"))
        return notSignedIn;
    std::optional<std::string> account = stringMember("email");
    if (account) {
        if (const auto plan = stringMember("subscriptionType"))
            *account += " (" + *plan + "プラン)";
    }
    return {true, true, account};
}

AgentStatus codexStatus(const std::optional<RunResult>& result) {
    const AgentStatus notSignedIn{true, false, std::nullopt};
    if (!result || result->code != 0) return notSignedIn;
    if (text::lower(result->out).find("logged in") == std::string::npos) return notSignedIn;
    std::string account = text::trim(result->out);
    const std::string from = "Logged in using ChatGPT";
    const std::string to = "ChatGPTアカウント";
    for (auto pos = account.find(from); pos != std::string::npos;
         pos = account.find(from, pos + to.size()))
        account.replace(pos, from.size(), to);
    return {true, true, account};
}

}  // namespace

const std::vector<std::string>& searchDirs() {
    static const std::vector<std::string> dirs = [] {
        const std::string home = homeDirectory();
        return std::vector<std::string>{"/opt/homebrew/bin", "/usr/local/bin", home + "/.local/bin",
                                        home + "/.npm-global/bin"};
    }();
    return dirs;
}

Options defaultOptions() {
    return Options{searchDirs(), std::chrono::seconds(20)};
}

std::optional<std::string> binaryPath(AgentKind kind) {
    return binaryPath(kind, searchDirs());
}

std::optional<std::string> binaryPath(AgentKind kind, const std::vector<std::string>& dirs) {
    const std::string name = agentkind::rawValue(kind);
    for (const auto& dir : dirs) {
        const std::string candidate = dir + "/" + name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

AgentStatus status(AgentKind kind) {
    return status(kind, defaultOptions());
}

AgentStatus status(AgentKind kind, const Options& options) {
    const auto path = binaryPath(kind, options.searchDirs);
    if (!path) return AgentStatus{};
    if (kind == AgentKind::claude)
        return claudeStatus(run(*path, {"auth", "status", "--json"}, options));
    return codexStatus(run(*path, {"login", "status"}, options));
}

std::optional<Login> startLogin(AgentKind kind) {
    return startLogin(kind, defaultOptions());
}

std::optional<Login> startLogin(AgentKind kind, const Options& options) {
    const auto path = binaryPath(kind, options.searchDirs);
    if (!path) return std::nullopt;
    ChildProcess::Options o;
    o.program = *path;
    o.arguments = kind == AgentKind::claude ? std::vector<std::string>{"auth", "login"}
                                            : std::vector<std::string>{"login"};
    o.environment = environment(options.searchDirs);
    o.input = ChildProcess::Input::pipe;
    o.output = ChildProcess::Output::null;
    // A group of its own: cancelling ends what the tool started too (a callback server, a
    // wrapper's child), not just the tool.
    o.newProcessGroup = true;
    auto child = ChildProcess::spawn(o);
    if (!child) return std::nullopt;
    auto pipe = child->input();
    return Login{std::shared_ptr<ChildProcess>(std::move(child)), std::move(pipe)};
}

void submitCode(const std::string& code, PipeWriter& to) {
    to.write(text::trim(code) + "\n");
}

void logout(AgentKind kind) {
    logout(kind, defaultOptions());
}

void logout(AgentKind kind, const Options& options) {
    const auto path = binaryPath(kind, options.searchDirs);
    if (!path) return;
    const std::vector<std::string> args = kind == AgentKind::claude
                                              ? std::vector<std::string>{"auth", "logout"}
                                              : std::vector<std::string>{"logout"};
    run(*path, args, options);
}

}  // namespace AgentAuth
