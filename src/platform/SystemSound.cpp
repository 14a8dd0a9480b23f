#include "platform/SystemSound.h"

#include <canberra.h>

#include <atomic>
#include <memory>

namespace SystemSound {

std::string themeEventFor(const std::string& name) {
    if (name == "Tink") return "device-added";
    if (name == "Pop") return "device-removed";
    if (name == "Glass") return "complete";
    return {};
}

namespace {

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

}  // namespace

void play(const std::string& name) {
    play(name, nullptr);
}

void playEvent(const char* event) {
    if (context()) ca_context_play(context(), 0, CA_PROP_EVENT_ID, event, nullptr);
}

std::uint32_t play(const std::string& name, std::function<void()> finished) {
    static std::atomic<std::uint32_t> lastId{0};
    auto done = std::make_unique<std::function<void()>>(std::move(finished));
    const auto nothingPlays = [&done] {
        if (*done) (*done)();
        return std::uint32_t{0};
    };
    const std::string event = themeEventFor(name);
    if (event.empty()) return nothingPlays();
    ca_proplist* props = nullptr;
    if (!context() || ca_proplist_create(&props) != CA_SUCCESS) return nothingPlays();
    ca_proplist_sets(props, CA_PROP_EVENT_ID, event.c_str());
    const std::uint32_t id = ++lastId;
    const int result = ca_context_play_full(
        context(), id, props,
        [](ca_context*, std::uint32_t, int, void* user) {
            std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(user));
            if (*done) (*done)();
        },
        done.get());
    ca_proplist_destroy(props);
    if (result != CA_SUCCESS) return nothingPlays();
    // The callback owns the function now.
    done.release();
    return id;
}

void cancel(std::uint32_t id) {
    if (id != 0 && context()) ca_context_cancel(context(), id);
}

}  // namespace SystemSound
