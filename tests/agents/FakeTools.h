#pragma once
// Stand-ins for the agent tools: small shell scripts that record how they were called.
#include <filesystem>
#include <functional>
#include <string>

namespace fakes {

// Writes "#!/bin/sh" + `body` to `path` (creating its folder) and makes it executable.
void writeScript(const std::filesystem::path& path, const std::string& body);

void writeFile(const std::filesystem::path& path, const std::string& content);
// The whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Runs Qt events until `condition` holds or 20 s have passed.
bool waitUntil(const std::function<bool()>& condition);

// Sets (or, with nullptr, unsets) an environment variable and puts it back at destruction.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_;
    std::string old_;
};

}  // namespace fakes
