#pragma once
#include <QObject>

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/MinutesRecord.h"

class UserDefaults;

// Owns the stored minutes records: one JSON and one Markdown file per record in
// <data>/minutes, loaded at start, newest first.
class MinutesStore : public QObject {
    Q_OBJECT
public:
    // `baseDir` defaults to tavroDataDirectory(), `legacyDir` to legacyTavroDataDirectory().
    explicit MinutesStore(UserDefaults& defaults, QObject* parent = nullptr);
    MinutesStore(UserDefaults& defaults, std::filesystem::path baseDir,
                 std::filesystem::path legacyDir, QObject* parent = nullptr);
    ~MinutesStore() override;

    const std::vector<MinutesRecord>& records() const { return records_; }
    const std::map<std::string, std::string>& recordColors() const { return recordColors_; }

    const std::filesystem::path& baseDir() const { return baseDir_; }
    std::filesystem::path minutesDir() const { return baseDir_ / "minutes"; }
    std::filesystem::path recordingsDir() const { return baseDir_ / "recordings"; }
    std::filesystem::path agentDir() const { return baseDir_ / "agent"; }

    // Writes the record's Markdown and JSON files and queues its insertion at the front of
    // records() on this object's thread. May be called from any thread. The record is returned
    // even when a file could not be written; `saveError` (if given) then says what failed, and
    // is left empty on success.
    MinutesRecord add(const MinutesResult& result, const std::string& templateId,
                      const std::string& sourceName, std::string* saveError = nullptr);

    // Removes the record's files (by the names they were written under), the record and its
    // colour.
    void remove(const MinutesRecord& record);

    void setColor(const std::optional<std::string>& color, const MinutesRecord& record);

    // Records created in the current calendar month of the local time zone.
    int thisMonthCount() const;
    int thisMonthCount(Timestamp now) const;

    // <minutes>/<file base>.md, whether or not the file exists.
    std::filesystem::path mdURL(const MinutesRecord& record) const;

    // The file base of a record as the naming rule gives it: the local "yyyy-MM-dd_HHmm", "_",
    // then the title's first 40 characters with "/", "\", ":" and line feeds made "_", capped so
    // that the base plus ".json" fits in a file name.
    static std::string fileBase(const MinutesRecord& record);

signals:
    void recordsChanged();
    void recordColorsChanged();

private:
    void migrateLegacyDataIfNeeded(const std::filesystem::path& legacyDir);
    void load();
    std::string baseFor(const MinutesRecord& record) const;
    void storeColors();

    UserDefaults& defaults_;
    std::filesystem::path baseDir_;
    std::vector<MinutesRecord> records_;
    std::map<std::string, std::string> recordColors_;

    // The file base each record was actually written or found under, by record id. Guarded
    // because add() runs on the processing thread.
    mutable std::mutex basesMutex_;
    std::unordered_map<std::string, std::string> bases_;
};
