#pragma once
// Stand-ins for the agent tools: small shell scripts that record how they were called.
#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>

#include "util/AtomicFile.h"

namespace fakes {

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// "#!/bin/sh" + `body`, executable; folders are created.
inline void writeScript(const std::filesystem::path& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

inline std::string readFile(const std::filesystem::path& path) {  // empty when unreadable
    return atomicfile::read(path).value_or("");
}

// Runs Qt events until `condition` holds or 20 s have passed.
template <typename Condition>
bool waitUntil(Condition condition) {
    return QTest::qWaitFor(condition, 20000);
}

}  // namespace fakes
