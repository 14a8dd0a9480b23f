#pragma once
// The X settings that a desktop's settings daemon publishes to toolkits (the XSETTINGS
// protocol): a property on the window that owns the selection _XSETTINGS_S<screen>.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace XSettings {

// The text settings in the property's bytes, by name; numbers and colours are left out. Nothing
// where the bytes do not hold a whole, well-formed list.
std::optional<std::map<std::string, std::string>> parse(std::string_view bytes);

// One text setting as the X server of this application has it now; nothing where no daemon
// runs, it does not set the name, or the application is not on X11.
std::optional<std::string> text(const std::string& name);

}  // namespace XSettings
