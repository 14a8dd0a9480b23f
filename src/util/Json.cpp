#include "util/Json.h"

#include <limits>

namespace json {

namespace {

const char* typeName(const Value& v) {
    if (v.is_number_float()) return "a fractional number";
    if (v.is_number()) return "an integer";
    switch (v.type()) {
        case Value::value_t::null:
            return "null";
        case Value::value_t::boolean:
            return "a boolean";
        case Value::value_t::string:
            return "a string";
        case Value::value_t::array:
            return "an array";
        case Value::value_t::object:
            return "an object";
        default:
            return "an unusable value";
    }
}

[[noreturn]] void fail(std::string_view what, std::string_view problem) {
    std::string msg(what);
    msg += ": ";
    msg += problem;
    throw Error(msg);
}

[[noreturn]] void wrongType(const Value& v, std::string_view what, std::string_view expected) {
    fail(what, "expected " + std::string(expected) + ", found " + typeName(v));
}

// The value under `key`, or nullptr when the key is absent or null.
const Value* lookup(const Value& obj, std::string_view key) {
    if (!obj.is_object()) wrongType(obj, key, "an object holding this key");
    auto it = obj.find(std::string(key));
    if (it == obj.end() || it->is_null()) return nullptr;
    return &*it;
}

const Value& required(const Value& obj, std::string_view key) {
    if (const Value* v = lookup(obj, key)) return *v;
    fail(key, obj.contains(std::string(key)) ? "is null" : "is missing");
}

template <typename T, typename Element>
std::vector<T> arrayOf(const Value& v, std::string_view what, Element element) {
    const Value& arr = asArray(v, what);
    std::vector<T> out;
    out.reserve(arr.size());
    for (std::size_t i = 0; i < arr.size(); ++i) {
        out.push_back(element(arr[i], std::string(what) + "[" + std::to_string(i) + "]"));
    }
    return out;
}

std::vector<std::string> stringArray(const Value& v, std::string_view what) {
    return arrayOf<std::string>(
        v, what, [](const Value& e, const std::string& w) { return asString(e, w); });
}

std::vector<std::int64_t> intArray(const Value& v, std::string_view what) {
    return arrayOf<std::int64_t>(v, what,
                                 [](const Value& e, const std::string& w) { return asInt(e, w); });
}

}  // namespace

Value parse(std::string_view text) {
    try {
        return Value::parse(text.data(), text.data() + text.size());
    } catch (const nlohmann::json::exception& e) {
        throw Error(std::string("not valid JSON: ") + e.what());
    }
}

std::optional<Value> tryParse(std::string_view text) {
    Value v = Value::parse(text.data(), text.data() + text.size(), nullptr, false);
    if (v.is_discarded()) return std::nullopt;
    return v;
}

bool nestsDeeperThan(std::string_view text, std::size_t maxDepth) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

std::optional<Value> tryParse(std::string_view text, std::size_t maxDepth) {
    if (nestsDeeperThan(text, maxDepth)) return std::nullopt;
    return tryParse(text);
}

std::string dumpCompact(const Value& v) {
    try {
        return v.dump(-1, ' ', false, Value::error_handler_t::strict);
    } catch (const nlohmann::json::exception& e) {
        throw Error(std::string("cannot write JSON: ") + e.what());
    }
}

std::string dumpPretty(const Value& v) {
    try {
        return v.dump(2, ' ', false, Value::error_handler_t::strict);
    } catch (const nlohmann::json::exception& e) {
        throw Error(std::string("cannot write JSON: ") + e.what());
    }
}

bool isInteger(const Value& v) {
    if (v.is_number_unsigned()) {
        return *v.get_ptr<const Value::number_unsigned_t*>() <=
               static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    }
    return v.is_number_integer();
}

std::string asString(const Value& v, std::string_view what) {
    if (!v.is_string()) wrongType(v, what, "a string");
    return *v.get_ptr<const Value::string_t*>();
}

bool asBool(const Value& v, std::string_view what) {
    if (!v.is_boolean()) wrongType(v, what, "a boolean");
    return *v.get_ptr<const Value::boolean_t*>();
}

std::int64_t asInt(const Value& v, std::string_view what) {
    if (v.is_number_unsigned()) {
        if (!isInteger(v)) fail(what, "integer out of range");
        return static_cast<std::int64_t>(*v.get_ptr<const Value::number_unsigned_t*>());
    }
    if (!v.is_number_integer()) wrongType(v, what, "an integer");
    return *v.get_ptr<const Value::number_integer_t*>();
}

double asNumber(const Value& v, std::string_view what) {
    if (v.is_number_float()) return *v.get_ptr<const Value::number_float_t*>();
    if (v.is_number_unsigned()) {
        return static_cast<double>(*v.get_ptr<const Value::number_unsigned_t*>());
    }
    if (v.is_number_integer()) {
        return static_cast<double>(*v.get_ptr<const Value::number_integer_t*>());
    }
    wrongType(v, what, "a number");
}

const Value& asObject(const Value& v, std::string_view what) {
    if (!v.is_object()) wrongType(v, what, "an object");
    return v;
}

const Value& asArray(const Value& v, std::string_view what) {
    if (!v.is_array()) wrongType(v, what, "an array");
    return v;
}

bool has(const Value& obj, std::string_view key) {
    return lookup(obj, key) != nullptr;
}

std::string requireString(const Value& obj, std::string_view key) {
    return asString(required(obj, key), key);
}
bool requireBool(const Value& obj, std::string_view key) {
    return asBool(required(obj, key), key);
}
std::int64_t requireInt(const Value& obj, std::string_view key) {
    return asInt(required(obj, key), key);
}
double requireNumber(const Value& obj, std::string_view key) {
    return asNumber(required(obj, key), key);
}
const Value& requireObject(const Value& obj, std::string_view key) {
    return asObject(required(obj, key), key);
}
const Value& requireArray(const Value& obj, std::string_view key) {
    return asArray(required(obj, key), key);
}
std::vector<std::string> requireStringArray(const Value& obj, std::string_view key) {
    return stringArray(required(obj, key), key);
}
std::vector<std::int64_t> requireIntArray(const Value& obj, std::string_view key) {
    return intArray(required(obj, key), key);
}

std::optional<std::string> optionalString(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(asString(*v, key)) : std::nullopt;
}
std::optional<bool> optionalBool(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(asBool(*v, key)) : std::nullopt;
}
std::optional<std::int64_t> optionalInt(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(asInt(*v, key)) : std::nullopt;
}
std::optional<double> optionalNumber(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(asNumber(*v, key)) : std::nullopt;
}
const Value* optionalObject(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? &asObject(*v, key) : nullptr;
}
const Value* optionalArray(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? &asArray(*v, key) : nullptr;
}
std::optional<std::vector<std::string>> optionalStringArray(const Value& obj,
                                                            std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(stringArray(*v, key)) : std::nullopt;
}
std::optional<std::vector<std::int64_t>> optionalIntArray(const Value& obj, std::string_view key) {
    const Value* v = lookup(obj, key);
    return v ? std::optional(intArray(*v, key)) : std::nullopt;
}

}  // namespace json
