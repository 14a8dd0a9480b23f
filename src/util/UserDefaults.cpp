#include "util/UserDefaults.h"

#include <QByteArray>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/AtomicFile.h"
#include "util/IsoDate.h"
#include "util/Json.h"
#include "util/PrivateFiles.h"
#include "util/Text.h"

namespace {

// Objects in the file are tagged, so that data and dictionaries come back as what they were.
constexpr const char* kDataTag = "$data";
constexpr const char* kDictTag = "$dict";

// No setting nests deep; a file nesting deeper than this is damaged, and a value that would
// could not be read back. It also bounds the recursion below.
constexpr std::size_t kMaxDepth = 32;

// Where a value sits, as a chain on the stack; made into text only for an error message.
struct Where {
    const Where* parent = nullptr;
    std::string_view key;              // a key of the file or of a dictionary
    std::optional<std::size_t> index;  // or the place in an array
    std::size_t depth = 1;             // JSON levels around the value

    Where child(std::string_view k, std::size_t levels) const {
        return {this, k, std::nullopt, depth + levels};
    }
    Where element(std::size_t i) const { return {this, {}, i, depth + 1}; }

    static Where top(std::string_view key) { return {nullptr, key, std::nullopt, 1}; }

    std::string text() const {
        if (!parent) return std::string(key);
        if (index) return parent->text() + "[" + std::to_string(*index) + "]";
        return parent->text() + "." + std::string(key);
    }
    [[noreturn]] void fail(const char* problem) const {
        throw json::Error(text() + ": " + problem);
    }
};

json::Value encode(const DefaultsValue& value, const Where& at);

json::Value encodeEntries(const DefaultsDictionary& dict, const Where& at) {
    json::Value obj = json::Value::object();
    for (const auto& [key, v] : dict) {
        if (!text::isValidUtf8(key)) at.fail("a key is not valid UTF-8");
        obj[key] = encode(v, at.child(key, 2));
    }
    return obj;
}

// Throws json::Error for what JSON cannot hold: such a value could never be written, and
// keeping it would make every later write fail too.
json::Value encode(const DefaultsValue& value, const Where& at) {
    return std::visit(
        [&](const auto& v) -> json::Value {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, double>) {
                if (!std::isfinite(v)) at.fail("a number that is not finite");
                return v;
            } else if constexpr (std::is_same_v<T, std::string>) {
                if (!text::isValidUtf8(v)) at.fail("text is not valid UTF-8");
                return v;
            } else if constexpr (std::is_same_v<T, DefaultsData>) {
                const QByteArray raw(v.bytes.data(), static_cast<qsizetype>(v.bytes.size()));
                return json::Value{{kDataTag, raw.toBase64().toStdString()}};
            } else if constexpr (std::is_same_v<T, DefaultsArray>) {
                if (at.depth + 1 > kMaxDepth) at.fail("nested too deep");
                json::Value arr = json::Value::array();
                for (std::size_t i = 0; i < v.size(); ++i)
                    arr.push_back(encode(v[i], at.element(i)));
                return arr;
            } else if constexpr (std::is_same_v<T, DefaultsDictionary>) {
                if (at.depth + 2 > kMaxDepth) at.fail("nested too deep");
                json::Value obj = json::Value::object();
                obj[kDictTag] = encodeEntries(v, at);
                return obj;
            } else {
                return v;  // bool, int64
            }
        },
        value.storage());
}

// The file's nesting was checked before parsing, so the recursion here is bounded.
DefaultsValue decode(const json::Value& j, const Where& at) {
    if (j.is_boolean()) return j.get<bool>();
    if (j.is_number_float()) {
        const double d = j.get<double>();  // 1e999 reads as infinity
        if (!std::isfinite(d)) at.fail("a number out of range");
        return d;
    }
    if (j.is_number()) {
        if (!json::isInteger(j)) at.fail("integer out of range");
        return j.get<std::int64_t>();
    }
    if (j.is_string()) return j.get<std::string>();
    if (j.is_array()) {
        DefaultsArray arr;
        arr.reserve(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) arr.push_back(decode(j[i], at.element(i)));
        return arr;
    }
    if (j.is_object() && j.size() == 1) {
        if (const auto data = json::optionalString(j, kDataTag)) {
            auto raw = QByteArray::fromBase64Encoding(QByteArray::fromStdString(*data),
                                                      QByteArray::AbortOnBase64DecodingErrors);
            if (!raw) at.fail("data that is not base64");
            return DefaultsData{raw.decoded.toStdString()};
        }
        if (const json::Value* dict = json::optionalObject(j, kDictTag)) {
            DefaultsDictionary out;
            for (const auto& [key, v] : dict->items())
                out.emplace(key, decode(v, at.child(key, 2)));
            return out;
        }
    }
    if (j.is_object()) at.fail("an object without a known tag");
    at.fail("a null value");
}

// Moves `file` to "<file>.damaged-<stamp>[-n]" without replacing anything already there.
std::filesystem::path moveAside(const std::filesystem::path& file, std::string& error) {
    const std::string base = file.string() + ".damaged-" +
                             localzone::format(std::chrono::system_clock::now(), "%Y%m%d-%H%M%S");
    for (int n = 1; n < 1000; ++n) {
        const std::string target = n == 1 ? base : base + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            return target;
        }
        if (errno == EEXIST) continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without RENAME_NOREPLACE: check, then rename.
            std::error_code ec;
            if (std::filesystem::exists(std::filesystem::symlink_status(target, ec))) continue;
            if (::rename(file.c_str(), target.c_str()) == 0) return target;
        }
        error = std::strerror(errno);
        return {};
    }
    error = "too many damaged copies";
    return {};
}

}  // namespace

UserDefaults::UserDefaults(std::filesystem::path file, QObject* parent)
    : QObject(parent), file_(std::move(file)) {
    load();
}

UserDefaults::~UserDefaults() = default;

UserDefaults& UserDefaults::standard() {
    static UserDefaults instance(standardPath());
    return instance;
}

std::filesystem::path UserDefaults::standardPath() {
    // XDG asks to ignore relative paths in these variables.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::filesystem::path(config) / "TAVRO" / "defaults.json";
    std::filesystem::path home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home / ".config" / "TAVRO" / "defaults.json";
}

void UserDefaults::load() {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file_, ec))) return;

    std::string problem;
    if (const auto content = atomicfile::read(file_); !content) {
        problem = "it cannot be read";
    } else if (json::nestsDeeperThan(*content, kMaxDepth)) {
        problem = "it nests deeper than " + std::to_string(kMaxDepth) + " levels";
    } else if (const auto doc = json::tryParse(*content); !doc) {
        problem = "it is not JSON";
    } else if (!doc->is_object()) {
        problem = "it is not a JSON object";
    } else {
        try {
            for (const auto& [key, v] : doc->items())
                values_.emplace(key, decode(v, Where::top(key)));
            return;
        } catch (const json::Error& e) {
            values_.clear();
            problem = e.what();
        }
    }

    std::string moveError;
    const auto moved = moveAside(file_, moveError);
    if (!moved.empty()) {
        loadError_ = "The settings file " + file_.string() + " was damaged (" + problem +
                     "). It was moved to " + moved.string() + " and the settings start empty.";
    } else {
        loadError_ = "The settings file " + file_.string() + " was damaged (" + problem +
                     ") and could not be moved aside (" + moveError +
                     "). The settings start empty.";
    }
}

bool UserDefaults::writeLocked() {
    std::string error;
    try {
        json::Value doc = json::Value::object();
        for (const auto& [key, v] : values_) doc[key] = encode(v, Where::top(key));
        if (const int err = privatefiles::makeFolders(file_.parent_path())) {
            error = file_.parent_path().string() + ": " + std::strerror(err);
        } else {
            error = atomicfile::write(file_, json::dumpPretty(doc) + "\n", 0600);
        }
    } catch (const json::Error& e) {
        error = e.what();  // values are checked on the way in, so this is only a safety net
    }
    lastWriteError_ = error;
    return error.empty();
}

std::optional<DefaultsValue> UserDefaults::value(const std::string& key) const {
    std::shared_lock lock(mutex_);
    const auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

bool UserDefaults::contains(const std::string& key) const {
    std::shared_lock lock(mutex_);
    return values_.count(key) > 0;
}

namespace {
template <typename T>
std::optional<T> typed(const std::optional<DefaultsValue>& v) {
    if (!v) return std::nullopt;
    if (const T* p = v->get<T>()) return *p;
    return std::nullopt;
}
}  // namespace

std::optional<bool> UserDefaults::boolValue(const std::string& key) const {
    return typed<bool>(value(key));
}
std::optional<std::int64_t> UserDefaults::intValue(const std::string& key) const {
    return typed<std::int64_t>(value(key));
}
std::optional<double> UserDefaults::doubleValue(const std::string& key) const {
    const auto v = value(key);
    if (const auto i = typed<std::int64_t>(v)) return static_cast<double>(*i);
    return typed<double>(v);
}
std::optional<std::string> UserDefaults::stringValue(const std::string& key) const {
    return typed<std::string>(value(key));
}
std::optional<DefaultsData> UserDefaults::dataValue(const std::string& key) const {
    return typed<DefaultsData>(value(key));
}
std::optional<DefaultsArray> UserDefaults::arrayValue(const std::string& key) const {
    return typed<DefaultsArray>(value(key));
}
std::optional<DefaultsDictionary> UserDefaults::dictionaryValue(const std::string& key) const {
    return typed<DefaultsDictionary>(value(key));
}

bool UserDefaults::boolOr(const std::string& key, bool fallback) const {
    return boolValue(key).value_or(fallback);
}

bool UserDefaults::set(const std::string& key, DefaultsValue value) {
    try {
        if (!text::isValidUtf8(key)) throw json::Error("a key that is not valid UTF-8");
        encode(value, Where::top(key));
    } catch (const json::Error& e) {
        std::unique_lock lock(mutex_);
        lastWriteError_ = std::string("not stored: ") + e.what();
        return false;
    }
    bool ok;
    {
        std::unique_lock lock(mutex_);
        values_.insert_or_assign(key, std::move(value));
        ok = writeLocked();
    }
    emit changed(QString::fromStdString(key));
    return ok;
}

bool UserDefaults::remove(const std::string& key) {
    bool ok;
    {
        std::unique_lock lock(mutex_);
        if (values_.erase(key) == 0) return true;
        ok = writeLocked();
    }
    emit changed(QString::fromStdString(key));
    return ok;
}

std::string UserDefaults::loadError() const {
    std::shared_lock lock(mutex_);
    return loadError_;
}

std::string UserDefaults::lastWriteError() const {
    std::shared_lock lock(mutex_);
    return lastWriteError_;
}
