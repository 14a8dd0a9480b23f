#pragma once
// Finding the agent tools, reading their sign-in state, and signing them in and out. The tools
// are run directly from fixed folders, with a search path of those folders and the system ones
// before the inherited PATH, so that a tool installed with npm finds node.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agents/AgentKind.h"
#include "agents/AgentStatus.h"
#include "platform/ChildProcess.h"
#include "platform/PipeWriter.h"

namespace AgentAuth {

// Where the tools are looked for: "/opt/homebrew/bin", "/usr/local/bin", ~/.local/bin,
// ~/.npm-global/bin. Computed once, at first use.
const std::vector<std::string>& searchDirs();

// Folders and time limit; the defaults are searchDirs() and 20 s.
struct Options {
    std::vector<std::string> searchDirs;
    std::chrono::milliseconds timeout{20000};
};
Options defaultOptions();

// A sign-in in progress. The caller owns both: terminating the process cancels the sign-in and
// ends everything the tool started (it runs in a process group of its own).
struct Login {
    std::shared_ptr<ChildProcess> proc;
    std::shared_ptr<PipeWriter> stdinPipe;
};

// The first folder (in order) holding an executable named after the kind, joined with it.
std::optional<std::string> binaryPath(AgentKind kind);
std::optional<std::string> binaryPath(AgentKind kind, const std::vector<std::string>& dirs);

// Blocks for as long as the tool runs, up to the time limit: call it off the main thread.
AgentStatus status(AgentKind kind);
AgentStatus status(AgentKind kind, const Options& options);

// Starts the tool's interactive sign-in and returns at once; nothing when the tool is missing
// or does not start. The tool's own output is discarded (it opens the browser itself).
std::optional<Login> startLogin(AgentKind kind);
std::optional<Login> startLogin(AgentKind kind, const Options& options);

// Sends a pasted code, trimmed and followed by one line feed. A sign-in that has ended (or a
// full pipe) makes this do nothing; the caller notices by polling status().
void submitCode(const std::string& code, PipeWriter& to);

// Blocks like status().
void logout(AgentKind kind);
void logout(AgentKind kind, const Options& options);

}  // namespace AgentAuth
