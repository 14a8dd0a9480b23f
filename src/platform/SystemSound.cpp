#include "platform/SystemSound.h"

#include <canberra.h>

#include "platform/AudioFileReader.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;

namespace SystemSound {

std::string themeEventFor(const std::string& name) {
    if (name == "Tink") return "device-added";
    if (name == "Pop") return "device-removed";
    if (name == "Glass") return "complete";
    return {};
}

namespace {

// Longer theme sounds are matched by their beginning: a recording leaves out two seconds at
// most.
constexpr int kLongestShapeSeconds = 2;

// The sound library names no theme unless told; this is the one it then plays.
constexpr const char* kTheme = "freedesktop";
// Cues older than this are of no use to a recording that starts now.
constexpr auto kCueMemory = std::chrono::seconds(30);

std::vector<fs::path> themeFolders() {
    std::vector<fs::path> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome)
        folders.push_back(fs::path(dataHome) / "sounds" / kTheme);
    else if (home && *home)
        folders.push_back(fs::path(home) / ".local/share/sounds" / kTheme);
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    for (std::size_t from = 0; from <= dirs.size();) {
        const std::size_t colon = std::min(dirs.find(':', from), dirs.size());
        if (colon > from)
            folders.push_back(fs::path(dirs.substr(from, colon - from)) / "sounds" / kTheme);
        from = colon + 1;
    }
    return folders;
}

struct Entry {
    std::uint64_t number;
    Cue cue;
};

// A sound waiting for its turn; `number` is 0 for one that is not a cue.
struct Job {
    std::uint64_t number;
    std::string event;
};

// The cue the player has taken. It may still be called off while the server or its theme file
// opens, up to the moment it is handed to the server to sound.
struct Taken {
    std::uint64_t number = 0;
    bool sounding = false;
    bool calledOff = false;
};

// Made once and never destroyed: the player's thread and the sound library's callbacks may still
// use it while the process exits.
struct Queue {
    std::mutex mutex;  // guards all below
    std::deque<Entry> cues;
    std::deque<Job> jobs;
    std::condition_variable jobQueued;
    std::uint64_t lastNumber = 0;
    Taken taken;
};
Queue& queue() {
    static Queue* const q = new Queue;
    return *q;
}

void ended(std::uint64_t number) {
    const auto now = std::chrono::steady_clock::now();
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    for (Entry& e : q.cues)
        if (e.number == number && !e.cue.endedAt) e.cue.endedAt = now;
}

// Called with the queue's lock held.
void forget(Queue& q, std::uint64_t number) {
    std::erase_if(q.cues, [&](const Entry& e) { return e.number == number; });
}

// Right before the taken job sounds: whether it still may. One called off is forgotten.
bool maySound(Queue& q) {
    std::lock_guard lock(q.mutex);
    if (q.taken.calledOff) {
        forget(q, q.taken.number);
        return false;
    }
    q.taken.sounding = true;
    return true;
}

// Not one of the sound library's results, which are 0 or negative.
constexpr int kCalledOff = 1;

// The sound library's connection to the server, used by the player's thread only. The library
// does not always find a server again that restarted, and every sound would fail from then on:
// a play that fails for a lost connection makes a new one.
class Output {
public:
    void play(Queue& q, const Job& job) {
        // The file named is the one a recording looks for.
        const fs::path file = job.number ? themeFile(job.event) : fs::path();
        // Only a connection made for an earlier sound may have been lost since.
        bool mayBeStale = context_ != nullptr;
        for (;;) {
            const int result = attempt(q, job, file);
            if (result == CA_SUCCESS || result == kCalledOff) return;
            if (!mayBeStale || !connectionLost(result)) {
                ended(job.number);
                return;
            }
            close();
            mayBeStale = false;
            std::lock_guard lock(q.mutex);
            q.taken.sounding = false;  // it did not sound: it may be called off again
        }
    }

private:
    using Proplist = std::unique_ptr<ca_proplist, decltype(&ca_proplist_destroy)>;

    int attempt(Queue& q, const Job& job, const fs::path& file) {
        if (!context_) {
            if (const int result = open(); result != CA_SUCCESS) return result;
        }
        ca_proplist* raw = nullptr;
        if (const int result = ca_proplist_create(&raw); result != CA_SUCCESS) return result;
        const Proplist props(raw, &ca_proplist_destroy);
        ca_proplist_sets(props.get(), CA_PROP_EVENT_ID, job.event.c_str());
        if (!file.empty()) {
            // The server keeps it, so that the next time it starts at once.
            ca_proplist_sets(props.get(), CA_PROP_MEDIA_FILENAME, file.c_str());
            ca_proplist_sets(props.get(), CA_PROP_CANBERRA_CACHE_CONTROL, "permanent");
            // Handed to the server before the cue may sound, so that reading a slow file
            // happens while the cue can still be called off.
            std::error_code ec;
            const Version version{file.string(), fs::last_write_time(file, ec)};
            if (!cached_.contains(version)) {
                const int result = ca_context_cache_full(context_, props.get());
                if (result == CA_SUCCESS)
                    cached_.insert(version);
                else if (result != CA_ERROR_NOTSUPPORTED)  // an output without a cache reads it
                    return result;                         // when it plays
            }
        }
        if (!maySound(q)) return kCalledOff;
        // The player says when it is done, so that a recording started later knows whether the
        // cue may still sound in it.
        const ca_finish_callback_t done = [](ca_context*, uint32_t, int, void* number) {
            ended(reinterpret_cast<std::uintptr_t>(number));
        };
        return ca_context_play_full(
            context_, 0, props.get(), job.number ? done : nullptr,
            reinterpret_cast<void*>(static_cast<std::uintptr_t>(job.number)));
    }

    int open() {
        if (const int result = ca_context_create(&context_); result != CA_SUCCESS) {
            context_ = nullptr;
            return result;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "TAVRO", CA_PROP_APPLICATION_ID,
                                "tavro", nullptr);
        const int result = ca_context_open(context_);
        if (result != CA_SUCCESS) close();
        return result;
    }

    void close() {
        ca_context_destroy(context_);
        context_ = nullptr;
        cached_.clear();
    }

    // Whether a play failed for want of the server. A theme file that cannot be read fails with
    // CA_ERROR_IO too: then the connection itself is asked.
    bool connectionLost(int result) const {
        switch (result) {
            case CA_ERROR_STATE:
            case CA_ERROR_DISCONNECTED:
            case CA_ERROR_DESTROYED:
            case CA_ERROR_NOTAVAILABLE:
                return true;
            case CA_ERROR_IO:
                // Sends the server what it has; fails without a connection.
                return ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "TAVRO",
                                               nullptr) != CA_SUCCESS;
            default:
                return false;
        }
    }

    // A theme file as it was when the server got it.
    using Version = std::pair<std::string, fs::file_time_type>;

    ca_context* context_ = nullptr;
    std::set<Version> cached_;  // in the server that context_ reaches
};

// One player for all sounds, so that they start in the order asked: a stop cue never overtakes
// the start cue before it, even when that one's theme file or the server is slow to open. It
// lives as long as the process.
// Called with the queue's lock held.
void enqueue(Queue& q, Job job) {
    static std::once_flag started;
    std::call_once(started, [&q] {
        std::thread([&q] {
            Output output;
            for (;;) {
                Job next;
                {
                    std::unique_lock lock(q.mutex);
                    q.jobQueued.wait(lock, [&q] { return !q.jobs.empty(); });
                    next = std::move(q.jobs.front());
                    q.jobs.pop_front();
                    q.taken = {next.number, false, false};
                }
                output.play(q, next);
                std::lock_guard lock(q.mutex);
                q.taken = {};
            }
        }).detach();
    });
    q.jobs.push_back(std::move(job));
    q.jobQueued.notify_one();
}

}  // namespace

fs::path themeFile(const std::string& event) {
    for (std::string name = event; !name.empty();) {
        for (const fs::path& theme : themeFolders()) {
            for (const char* sub : {"stereo", ""}) {
                std::error_code ec;
                if (fs::exists(theme / sub / (name + ".disabled"), ec)) return {};
                for (const char* ext : {".oga", ".ogg", ".wav"}) {
                    const fs::path file = theme / sub / (name + ext);
                    if (fs::exists(file, ec)) return file;
                }
            }
        }
        const std::size_t dash = name.rfind('-');
        name = dash == std::string::npos ? std::string() : name.substr(0, dash);
    }
    return {};
}

std::uint64_t play(const std::string& name) {
    const std::string event = themeEventFor(name);
    if (event.empty()) return 0;
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    const auto now = std::chrono::steady_clock::now();
    while (!q.cues.empty() && q.cues.front().cue.requestedAt < now - kCueMemory) q.cues.pop_front();
    const std::uint64_t number = ++q.lastNumber;
    q.cues.push_back({number, {now, event, std::nullopt}});
    enqueue(q, {number, event});
    return number;
}

void cancel(std::uint64_t cue) {
    if (cue == 0) return;
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.taken.number == cue) {
        // Taken but still opening: the player drops it right before it would sound. One that
        // sounds already plays on.
        q.taken.calledOff = true;
        if (!q.taken.sounding) forget(q, cue);
        return;
    }
    const auto job =
        std::find_if(q.jobs.begin(), q.jobs.end(), [&](const Job& j) { return j.number == cue; });
    if (job == q.jobs.end()) return;  // played
    q.jobs.erase(job);
    forget(q, cue);
}

void playEvent(const char* event) {
    if (!event) return;
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    enqueue(q, {0, event});
}

std::vector<Cue> cuesSince(std::chrono::steady_clock::time_point since) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    std::vector<Cue> found;
    for (const Entry& e : q.cues)
        if (e.cue.requestedAt >= since) found.push_back(e.cue);
    return found;
}

std::shared_ptr<const std::vector<float>> shapeOf(const std::string& event, int sampleRate) {
    const fs::path file = themeFile(event);
    std::error_code ec;
    if (file.empty() || sampleRate <= 0 || !fs::is_regular_file(file, ec)) return nullptr;
    const auto changed = fs::last_write_time(file, ec);
    if (ec) return nullptr;
    // Decoded once per file, version and rate.
    using Key = std::tuple<std::string, fs::file_time_type, int>;
    static std::mutex mutex;
    static std::map<Key, std::shared_ptr<const std::vector<float>>> shapes;
    const Key key{file.string(), changed, sampleRate};
    {
        std::lock_guard lock(mutex);
        if (const auto it = shapes.find(key); it != shapes.end()) return it->second;
    }
    std::shared_ptr<std::vector<float>> shape;
    try {
        AudioFileReader reader(file, sampleRate, 1);
        shape = std::make_shared<std::vector<float>>(static_cast<std::size_t>(sampleRate) *
                                                     kLongestShapeSeconds);
        shape->resize(reader.read(shape->data(), shape->size()));
    } catch (const std::exception&) {
        shape.reset();
    }
    if (shape && shape->empty()) shape.reset();
    std::lock_guard lock(mutex);
    shapes[key] = shape;
    return shape;
}

}  // namespace SystemSound
