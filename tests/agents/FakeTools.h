#pragma once
// Stand-ins for the agent tools: small shell scripts that record how they were called.
#include <filesystem>
#include <functional>
#include <string>

namespace fakes {

// "#!/bin/sh" + `body`, executable; folders are created.
void writeScript(const std::filesystem::path& path, const std::string& body);
void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);  // empty when unreadable

// Runs Qt events until `condition` holds or 20 s have passed.
bool waitUntil(const std::function<bool()>& condition);

}  // namespace fakes
