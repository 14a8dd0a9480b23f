#include "platform/CalendarApplication.h"

#include <gio/gio.h>

#include <memory>

namespace {

struct Unref {
    void operator()(GAppInfo* info) const { g_object_unref(info); }
};

std::unique_ptr<GAppInfo, Unref> defaultCalendarApp() {
    return std::unique_ptr<GAppInfo, Unref>(
        g_app_info_get_default_for_type("text/calendar", FALSE));
}

}  // namespace

namespace CalendarApplication {

std::optional<std::string> name() {
    const auto app = defaultCalendarApp();
    if (!app) return std::nullopt;
    const char* shown = g_app_info_get_display_name(app.get());
    return std::string(shown ? shown : "");
}

bool launch() {
    const auto app = defaultCalendarApp();
    if (!app) return false;
    GError* error = nullptr;
    const bool ok = g_app_info_launch(app.get(), nullptr, nullptr, &error);
    if (error) g_error_free(error);
    return ok;
}

}  // namespace CalendarApplication
