#pragma once
#include <string>

#include "model/MinutesResult.h"

// What an agent run is given: its instructions and the command line that starts the tool.
namespace agentprompt {

// One "- task" line per item marked for the agent, joined by line feeds, with the task's line
// breaks and other control characters turned into spaces; a request to judge from the minutes
// when no item is marked.
std::string taskList(const MinutesResult& result);

// The text of prompt.md: the introduction, the task list, the rules, then the whole minutes
// (`markdown`) as they are.
std::string instructions(const MinutesResult& result, const std::string& markdown);

// The shell command for the "agentCmd" setting, run from the run folder: "codex" selects Codex,
// every other value Claude Code.
std::string commandLine(const std::string& agentCmd);

// The tool's name as the notifications show it.
std::string toolName(const std::string& agentCmd);

}  // namespace agentprompt
