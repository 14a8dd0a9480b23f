#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace base64url {

// Decodes URL-safe base64 (RFC 4648 §5) with optional padding. Anything else fails: characters
// outside the URL-safe alphabet ("+" and "/" included), padding that is not at the end or does
// not complete the last group, and a length that no encoder produces.
std::optional<std::string> decode(std::string_view text);

}  // namespace base64url
