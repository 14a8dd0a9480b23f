#include "app/LaunchArguments.h"

#include <cstring>

LaunchArguments LaunchArguments::split(int argc, char** argv) {
    LaunchArguments result;
    result.qtArgc = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") != 0) continue;
        result.qtArgc = i;
        for (int j = i + 1; j < argc; ++j) {
            result.urls << QString::fromLocal8Bit(argv[j]);
            // A callback link carries tokens; every local user can read a process's command
            // line, which shows these very bytes.
            std::memset(argv[j], 0, std::strlen(argv[j]));
        }
        break;
    }
    return result;
}
