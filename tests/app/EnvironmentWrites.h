#pragma once
// The changes to this process's environment while one is watched, made by any code of the
// process: setenv, unsetenv, putenv and clearenv are this test program's own, which note the
// name and pass the call on to the C library.
#include <string>
#include <vector>

class EnvironmentWrites {
public:
    EnvironmentWrites();  // starts watching
    ~EnvironmentWrites();
    EnvironmentWrites(const EnvironmentWrites&) = delete;
    EnvironmentWrites& operator=(const EnvironmentWrites&) = delete;

    // The names changed so far, in their order; "*" for the whole environment cleared.
    std::vector<std::string> names() const;
};
