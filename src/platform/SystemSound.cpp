#include "platform/SystemSound.h"

#include <canberra.h>

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
    const std::string event = themeEventFor(name);
    if (!event.empty()) playEvent(event.c_str());
}

void playEvent(const char* event) {
    if (context()) ca_context_play(context(), 0, CA_PROP_EVENT_ID, event, nullptr);
}

}  // namespace SystemSound
