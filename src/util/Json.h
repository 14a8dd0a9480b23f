#pragma once
// Strict JSON access over nlohmann-json. Absent, null and wrong-typed values are told apart,
// an integer must be an integer-typed number, and nothing converts silently.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace json {

using Value = nlohmann::json;

// Thrown for unparsable text, a missing required key, a null where a value is required, or a
// value of the wrong type. The message names the key.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses text; throws Error (never nlohmann's own exceptions).
Value parse(std::string_view text);
// Parses text; nullopt when it is not JSON.
std::optional<Value> tryParse(std::string_view text);

// Whether arrays and objects in `text` nest more than `maxDepth` levels. Counted over the raw
// text without building anything, so that input too deep for the recursive copy, compare and
// write of a parsed value is refused before it exists.
bool nestsDeeperThan(std::string_view text, std::size_t maxDepth);
// As tryParse, and nullopt as well when the text nests deeper than `maxDepth`.
std::optional<Value> tryParse(std::string_view text, std::size_t maxDepth);

// Compact output (no spaces, no line breaks). Throws Error if a string is not valid UTF-8.
std::string dumpCompact(const Value& v);
// Two-space indentation, keys sorted (nlohmann's object keeps keys sorted).
std::string dumpPretty(const Value& v);

// --- checks on a single value ---
bool isInteger(const Value& v);  // integer-typed number that fits int64
std::string asString(const Value& v, std::string_view what);
bool asBool(const Value& v, std::string_view what);
std::int64_t asInt(const Value& v, std::string_view what);
double asNumber(const Value& v, std::string_view what);  // integer or fractional
const Value& asObject(const Value& v, std::string_view what);
const Value& asArray(const Value& v, std::string_view what);

// --- keyed access on an object; `obj` must be an object (else Error) ---
// present means: the key exists and is not null.
bool has(const Value& obj, std::string_view key);

std::string requireString(const Value& obj, std::string_view key);
bool requireBool(const Value& obj, std::string_view key);
std::int64_t requireInt(const Value& obj, std::string_view key);
double requireNumber(const Value& obj, std::string_view key);
const Value& requireObject(const Value& obj, std::string_view key);
const Value& requireArray(const Value& obj, std::string_view key);
std::vector<std::string> requireStringArray(const Value& obj, std::string_view key);
std::vector<std::int64_t> requireIntArray(const Value& obj, std::string_view key);

// Absent or null gives nullopt / nullptr; present with the wrong type throws Error.
std::optional<std::string> optionalString(const Value& obj, std::string_view key);
std::optional<bool> optionalBool(const Value& obj, std::string_view key);
std::optional<std::int64_t> optionalInt(const Value& obj, std::string_view key);
std::optional<double> optionalNumber(const Value& obj, std::string_view key);
const Value* optionalObject(const Value& obj, std::string_view key);
const Value* optionalArray(const Value& obj, std::string_view key);
std::optional<std::vector<std::string>> optionalStringArray(const Value& obj, std::string_view key);
std::optional<std::vector<std::int64_t>> optionalIntArray(const Value& obj, std::string_view key);

// Writes `value` under `key` only when it holds something; an absent optional is left out.
template <typename T>
void putOptional(Value& obj, const char* key, const std::optional<T>& value) {
    if (value) obj[key] = *value;
}

}  // namespace json
