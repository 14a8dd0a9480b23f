#pragma once
// The command line of `tavro`: options for Qt first, then, after "--", the addresses the desktop
// hands over ("tavro -- %u"). Everything after "--" is an address even when it looks like an
// option, so a crafted link can never reach Qt's option parser.
#include <QStringList>

struct LaunchArguments {
    int qtArgc = 0;    // how many leading argv entries Qt may read (program name included)
    QStringList urls;  // the addresses, in order; none without "--"

    // Reads the addresses and then blanks them in `argv` itself (Qt never sees them), so that the
    // process's command line no longer shows them.
    static LaunchArguments split(int argc, char** argv);
};
