#include "agents/AgentKind.h"

namespace agentkind {

std::string rawValue(AgentKind kind) {
    return kind == AgentKind::codex ? "codex" : "claude";
}

std::optional<AgentKind> fromRawValue(std::string_view raw) {
    if (raw == "claude") return AgentKind::claude;
    if (raw == "codex") return AgentKind::codex;
    return std::nullopt;
}

std::string displayName(AgentKind kind) {
    return kind == AgentKind::codex ? "Codex" : "Claude Code";
}

std::string brandIcon(AgentKind kind) {
    return kind == AgentKind::codex ? "openai" : "anthropic";
}

std::string installHint(AgentKind kind) {
    return kind == AgentKind::codex ? "npm install -g @openai/codex"
                                    : "npm install -g @anthropic-ai/claude-code";
}

}  // namespace agentkind
