#include "platform/SystemSound.h"

#include <canberra.h>

#include <memory>

namespace SystemSound {

std::string themeEventFor(const std::string& name) {
    if (name == "Tink") return "device-added";
    if (name == "Pop") return "device-removed";
    if (name == "Glass") return "complete";
    return {};
}

void play(const std::string& name) {
    play(name, nullptr);
}

void play(const std::string& name, std::function<void()> finished) {
    auto done = std::make_unique<std::function<void()>>(std::move(finished));
    const auto nothingPlays = [&done] {
        if (*done) (*done)();
    };
    const std::string event = themeEventFor(name);
    if (event.empty()) return nothingPlays();
    // One context for the process; libcanberra plays asynchronously on its own thread.
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "TAVRO", CA_PROP_APPLICATION_ID,
                                "tavro", nullptr);
        return c;
    }();
    ca_proplist* props = nullptr;
    if (!context || ca_proplist_create(&props) != CA_SUCCESS) return nothingPlays();
    ca_proplist_sets(props, CA_PROP_EVENT_ID, event.c_str());
    const int result = ca_context_play_full(
        context, 0, props,
        [](ca_context*, std::uint32_t, int, void* user) {
            std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(user));
            if (*done) (*done)();
        },
        done.get());
    ca_proplist_destroy(props);
    // The callback owns the function only when the sound started.
    if (result == CA_SUCCESS)
        done.release();
    else
        nothingPlays();
}

}  // namespace SystemSound
