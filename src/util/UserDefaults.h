#pragma once
// The typed settings store. Values keep their type across restarts: an absent key, a stored
// false, the string "false" and a data value are four different things. One JSON file, written
// whole and atomically with mode 0600. Safe to use from any thread.
#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <variant>
#include <vector>

class DefaultsValue;

// Raw bytes, kept apart from text.
struct DefaultsData {
    std::string bytes;
    bool operator==(const DefaultsData&) const = default;
};
using DefaultsArray = std::vector<DefaultsValue>;
using DefaultsDictionary = std::map<std::string, DefaultsValue>;

class DefaultsValue {
public:
    using Storage = std::variant<bool, std::int64_t, double, std::string, DefaultsData,
                                 DefaultsArray, DefaultsDictionary>;

    DefaultsValue(bool v) : v_(v) {}
    DefaultsValue(int v) : v_(std::int64_t{v}) {}
    DefaultsValue(std::int64_t v) : v_(v) {}
    DefaultsValue(double v) : v_(v) {}
    DefaultsValue(const char* v) : v_(std::string(v)) {}
    DefaultsValue(std::string v) : v_(std::move(v)) {}
    DefaultsValue(DefaultsData v) : v_(std::move(v)) {}
    DefaultsValue(DefaultsArray v) : v_(std::move(v)) {}
    DefaultsValue(DefaultsDictionary v) : v_(std::move(v)) {}

    const Storage& storage() const { return v_; }
    template <typename T>
    const T* get() const {
        return std::get_if<T>(&v_);
    }

    bool operator==(const DefaultsValue& o) const { return v_ == o.v_; }

private:
    Storage v_;
};

class UserDefaults : public QObject {
    Q_OBJECT
public:
    // A store over the given file. The file and its folder are created on the first write.
    explicit UserDefaults(std::filesystem::path file, QObject* parent = nullptr);
    ~UserDefaults() override;

    // The process-wide store: $XDG_CONFIG_HOME/TAVRO/defaults.json (~/.config when unset).
    static UserDefaults& standard();
    static std::filesystem::path standardPath();

    std::optional<DefaultsValue> value(const std::string& key) const;
    bool contains(const std::string& key) const;

    // Typed reads: nullopt when the key is absent or holds another type. No conversion
    // happens, except that doubleValue also reads a stored integer.
    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<std::int64_t> intValue(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    std::optional<DefaultsData> dataValue(const std::string& key) const;
    std::optional<DefaultsArray> arrayValue(const std::string& key) const;
    std::optional<DefaultsDictionary> dictionaryValue(const std::string& key) const;

    // A boolean setting: its default unless a boolean is stored.
    bool boolOr(const std::string& key, bool fallback) const;

    // Stores and writes the file at once. Returns false (and keeps the value in memory) if the
    // file could not be written; lastWriteError() says why. A value JSON cannot hold (a
    // non-finite double, text that is not UTF-8) is refused, not kept, and also gives false.
    bool set(const std::string& key, DefaultsValue value);
    bool remove(const std::string& key);

    // The message of a damaged file found at start, which was moved aside to `<file>.damaged-…`;
    // empty when the file was fine or absent.
    std::string loadError() const;
    std::string lastWriteError() const;
    std::filesystem::path file() const { return file_; }

signals:
    // Emitted on the thread that made the change.
    void changed(const QString& key);

private:
    void load();
    bool writeLocked();

    std::filesystem::path file_;
    mutable std::shared_mutex mutex_;
    std::map<std::string, DefaultsValue> values_;
    std::string loadError_;
    std::string lastWriteError_;
};
