#include "library/MinutesStore.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "library/CustomTemplateStore.h"
#include "library/DataDirectory.h"
#include "model/Markdown.h"
#include "model/MinutesRecordDecoder.h"
#include "util/AtomicFile.h"
#include "util/PrivateFiles.h"
#include "util/Text.h"
#include "util/UserDefaults.h"
#include "util/Uuid.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kColorsKey = "recordColors";
constexpr std::size_t kTitleCharacters = 40;
// The longest name written is the base plus ".json".
constexpr std::size_t kExtensionBytes = 5;

std::map<std::string, std::string> readColors(const UserDefaults& defaults) {
    std::map<std::string, std::string> colors;
    const auto dict = defaults.dictionaryValue(kColorsKey);
    if (!dict) return colors;
    for (const auto& [id, value] : *dict) {
        const auto* name = value.get<std::string>();
        if (!name) return {};  // one foreign value makes the whole map unreadable
        colors.emplace(id, *name);
    }
    return colors;
}

std::string sanitizedTitle(const std::string& title) {
    std::string out;
    out.reserve(title.size());
    for (char c : title) {
        // NUL would silently cut the path short at the system call.
        if (c == '/' || c == '\\' || c == ':' || c == '\n' || c == '\0')
            out.push_back('_');
        else
            out.push_back(c);
    }
    return out;
}

bool entryExists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

struct Loaded {
    std::optional<MinutesRecord> record;
    std::string base;
};

// Reads and decodes one record file. A file that gives no record is skipped, whatever stopped
// it: a malformed text, or one the store cannot hold (too large for a transcript or a string,
// or memory running out). The loader runs on worker threads, where an escaping exception would
// end the program at every start.
Loaded loadOne(const fs::path& file, std::unique_ptr<MinutesRecordDecoder>& decoder,
               std::string& bytes) {
    Loaded out;
    try {
        if (!decoder) decoder = std::make_unique<MinutesRecordDecoder>();
        if (!atomicfile::readInto(file, bytes, MinutesRecordDecoder::kPadding)) return out;
        out.record = decoder->decode(bytes);
        out.base = file.stem().string();
    } catch (const json::Error&) {
    } catch (...) {
        // What a file too large left behind is given back before the next one is read.
        out.record.reset();
        decoder.reset();
        std::string().swap(bytes);
    }
    return out;
}

}  // namespace

MinutesStore::MinutesStore(UserDefaults& defaults, QObject* parent)
    : MinutesStore(defaults, tavroDataDirectory(), legacyTavroDataDirectory(), parent) {}

MinutesStore::MinutesStore(UserDefaults& defaults, fs::path baseDir, fs::path legacyDir,
                           QObject* parent)
    : QObject(parent), defaults_(defaults), baseDir_(std::move(baseDir)) {
    recordColors_ = readColors(defaults_);
    migrateLegacyDataIfNeeded(legacyDir);
    for (const auto& dir : {minutesDir(), recordingsDir(), agentDir()})
        privatefiles::makeFolders(dir);
    // Folders and files made before everything was kept private, or copied by the migration.
    privatefiles::tighten(baseDir_);
    load();
}

MinutesStore::~MinutesStore() = default;

void MinutesStore::migrateLegacyDataIfNeeded(const fs::path& legacyDir) {
    std::error_code ec;
    const auto legacy = fs::weakly_canonical(legacyDir, ec);
    const auto base = fs::weakly_canonical(baseDir_, ec);
    if (legacy == base) return;
    privatefiles::makeFolders(baseDir_);
    for (const char* name : {"minutes", "recordings", "agent", "library-state.json"}) {
        const auto from = legacyDir / name;
        const auto to = baseDir_ / name;
        if (!entryExists(from) || entryExists(to)) continue;
        // Copy under a temporary name first: a copy cut short must not look like a finished
        // one, or the next start would never complete it.
        const auto partial = baseDir_ / (std::string(".") + name + ".migrating");
        fs::remove_all(partial, ec);
        fs::copy(from, partial, fs::copy_options::recursive, ec);
        if (ec) {
            fs::remove_all(partial, ec);
            continue;
        }
        fs::rename(partial, to, ec);
        if (ec) fs::remove_all(partial, ec);
    }
}

void MinutesStore::load() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(minutesDir(), ec), end; !ec && it != end; it.increment(ec)) {
        const auto& p = it->path();
        if (p.extension() == ".json") files.push_back(p);
    }

    // Decoding dominates start-up on a large library, so files are parsed in parallel; each
    // result keeps its listing index so the order below does not depend on scheduling.
    std::vector<Loaded> loaded(files.size());
    const unsigned workers =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), files.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        std::unique_ptr<MinutesRecordDecoder> decoder;
        std::string buffer;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();)
            loaded[i] = loadOne(files[i], decoder, buffer);
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < workers; ++i) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();

    std::vector<MinutesRecord> records;
    records.reserve(loaded.size());
    {
        std::lock_guard lock(basesMutex_);
        bases_.clear();
        for (auto& l : loaded) {
            if (!l.record) continue;
            bases_.emplace(l.record->id, l.base);
            records.push_back(std::move(*l.record));
        }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.createdAt > b.createdAt; });
    records_ = std::move(records);
    emit recordsChanged();
}

std::string MinutesStore::fileBase(const MinutesRecord& record) {
    std::string base = localzone::format(record.createdAt, "%Y-%m-%d_%H%M") + "_" +
                       text::graphemePrefix(sanitizedTitle(record.result.title), kTitleCharacters);
    return text::fileNamePrefix(base, kExtensionBytes);
}

std::string MinutesStore::baseFor(const MinutesRecord& record) const {
    std::lock_guard lock(basesMutex_);
    if (auto it = bases_.find(record.id); it != bases_.end()) return it->second;
    return fileBase(record);
}

MinutesRecord MinutesStore::add(const MinutesResult& result, const std::string& templateId,
                                const std::string& sourceName, std::string* saveError) {
    MinutesRecord record{uuid::make(), std::chrono::system_clock::now(), templateId, sourceName,
                         result};
    std::string errors;
    auto note = [&errors](const std::string& e) {
        if (e.empty()) return;
        if (!errors.empty()) errors += "; ";
        errors += e;
    };

    privatefiles::makeFolders(minutesDir());

    std::string base;
    {
        // Two records of the same minute with the same title start must never share files.
        std::lock_guard lock(basesMutex_);
        const std::string plain = fileBase(record);
        auto taken = [&](const std::string& b) {
            if (entryExists(minutesDir() / (b + ".json")) ||
                entryExists(minutesDir() / (b + ".md")))
                return true;
            return std::any_of(bases_.begin(), bases_.end(),
                               [&](const auto& kv) { return kv.second == b; });
        };
        base = plain;
        for (int n = 2; taken(base); ++n) {
            const std::string suffix = "-" + std::to_string(n);
            base = text::fileNamePrefix(plain, kExtensionBytes + suffix.size()) + suffix;
        }
        bases_[record.id] = base;
    }

    const auto markdown = toMarkdown(record.result, templateLabel(templateId, defaults_));
    note(atomicfile::write(minutesDir() / (base + ".md"), markdown));
    try {
        note(
            atomicfile::write(minutesDir() / (base + ".json"), json::dumpCompact(record.toJson())));
    } catch (const json::Error& e) {
        note(std::string("record could not be encoded: ") + e.what());
    }
    if (saveError) *saveError = errors;

    QMetaObject::invokeMethod(
        this,
        [this, record] {
            records_.insert(records_.begin(), record);
            emit recordsChanged();
        },
        Qt::QueuedConnection);
    return record;
}

void MinutesStore::remove(const MinutesRecord& record) {
    // `record` may be an element of records_, which the erase below overwrites.
    const std::string id = record.id;
    const std::string base = baseFor(record);
    std::error_code ec;
    fs::remove(minutesDir() / (base + ".md"), ec);
    fs::remove(minutesDir() / (base + ".json"), ec);
    {
        std::lock_guard lock(basesMutex_);
        bases_.erase(id);
    }
    std::erase_if(records_, [&](const MinutesRecord& r) { return r.id == id; });
    recordColors_.erase(id);
    storeColors();
    emit recordsChanged();
}

void MinutesStore::setColor(const std::optional<std::string>& color, const MinutesRecord& record) {
    if (color)
        recordColors_[record.id] = *color;
    else
        recordColors_.erase(record.id);
    storeColors();
}

void MinutesStore::storeColors() {
    DefaultsDictionary dict;
    for (const auto& [id, name] : recordColors_) dict.emplace(id, DefaultsValue(name));
    defaults_.set(kColorsKey, std::move(dict));
    emit recordColorsChanged();
}

int MinutesStore::thisMonthCount() const {
    return thisMonthCount(std::chrono::system_clock::now());
}

int MinutesStore::thisMonthCount(Timestamp now) const {
    const auto month = localzone::yearMonth(now);
    return static_cast<int>(std::count_if(records_.begin(), records_.end(), [&](const auto& r) {
        return localzone::yearMonth(r.createdAt) == month;
    }));
}

fs::path MinutesStore::mdURL(const MinutesRecord& record) const {
    return minutesDir() / (baseFor(record) + ".md");
}
