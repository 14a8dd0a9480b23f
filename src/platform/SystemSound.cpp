#include "platform/SystemSound.h"

#include <canberra.h>

#include "platform/AudioFileReader.h"

#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
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

// One context for the process; libcanberra plays asynchronously on its own thread.
ca_context* context() {
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "TAVRO", CA_PROP_APPLICATION_ID,
                                "tavro", nullptr);
        return c;
    }();
    return context;
}

// Opening the sound server or a theme file may block (a slow server, a file on a stalled
// mount), so sounds start on a thread of their own, never on the caller's.
void playLater(std::string event, bool cue) {
    std::thread([event = std::move(event), cue] {
        ca_context* c = context();
        if (!c) return;
        const fs::path file = cue ? themeFile(event) : fs::path();
        if (file.empty()) {
            ca_context_play(c, 0, CA_PROP_EVENT_ID, event.c_str(), nullptr);
        } else {
            // The file named is the one a recording looks for. The server keeps it, so that
            // the next time it starts at once.
            ca_context_play(c, 0, CA_PROP_EVENT_ID, event.c_str(), CA_PROP_MEDIA_FILENAME,
                            file.c_str(), CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
        }
    }).detach();
}

std::mutex cueMutex;
std::deque<Cue> cues;

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

void play(const std::string& name) {
    const std::string event = themeEventFor(name);
    if (event.empty()) return;
    {
        std::lock_guard lock(cueMutex);
        const auto now = std::chrono::system_clock::now();
        while (!cues.empty() && cues.front().requestedAt < now - kCueMemory) cues.pop_front();
        cues.push_back({now, event});
    }
    playLater(event, true);
}

void playEvent(const char* event) {
    if (event) playLater(event, false);
}

std::vector<Cue> cuesSince(std::chrono::system_clock::time_point since) {
    std::lock_guard lock(cueMutex);
    std::vector<Cue> found;
    for (const Cue& cue : cues)
        if (cue.requestedAt >= since) found.push_back(cue);
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
