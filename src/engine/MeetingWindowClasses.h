#pragma once
// Bundle identifiers of meeting applications and browsers, as the window classes their Linux
// builds give their windows.
#include <optional>
#include <string>
#include <string_view>

// The bundle identifier whose Linux build names its windows with this WM_CLASS (instance or
// class string, compared exactly); nullopt for any other application.
std::optional<std::string> bundleIdForWindowClass(std::string_view instance,
                                                  std::string_view wmClass);
