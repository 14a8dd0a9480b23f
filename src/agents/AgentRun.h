#pragma once
#include <string>

// The state of the agent run of one record.
struct AgentRun {
    enum class State { done, running, failed };

    State state = State::running;
    // Absolute path of the run's REPORT.md; set for done, whether or not the tool wrote it.
    std::string reportPath;
    // Why it failed, for failed.
    std::string message;

    static AgentRun done(std::string reportPath) {
        return {State::done, std::move(reportPath), {}};
    }
    static AgentRun running() { return {State::running, {}, {}}; }
    static AgentRun failed(std::string message) { return {State::failed, {}, std::move(message)}; }

    bool operator==(const AgentRun&) const = default;
};
