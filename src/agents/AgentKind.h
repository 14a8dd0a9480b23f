#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

// The two local AI agent tools. The raw value is also the executable's file name and the id.
enum class AgentKind { claude, codex };

namespace agentkind {

// In the order the settings list them.
inline constexpr std::array<AgentKind, 2> allCases = {AgentKind::claude, AgentKind::codex};

std::string rawValue(AgentKind kind);
// Exactly "claude" or "codex"; nothing for any other text.
std::optional<AgentKind> fromRawValue(std::string_view raw);

std::string displayName(AgentKind kind);
// Name of the brand image drawn beside the tool.
std::string brandIcon(AgentKind kind);
// The command shown while the tool is missing.
std::string installHint(AgentKind kind);

}  // namespace agentkind
