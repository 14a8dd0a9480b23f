#include "platform/SystemSound.h"

#include <canberra.h>

namespace SystemSound {

std::string themeEventFor(const std::string& name) {
    if (name == "Tink") return "device-added";
    if (name == "Pop") return "device-removed";
    if (name == "Glass") return "complete";
    return {};
}

void play(const std::string& name) {
    const std::string event = themeEventFor(name);
    if (event.empty()) return;
    // One context for the process; libcanberra plays asynchronously on its own thread.
    static ca_context* context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "TAVRO", CA_PROP_APPLICATION_ID,
                                "tavro", nullptr);
        return c;
    }();
    if (!context) return;
    ca_context_play(context, 0, CA_PROP_EVENT_ID, event.c_str(), nullptr);
}

}  // namespace SystemSound
