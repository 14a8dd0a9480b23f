#pragma once
// The recording clock as the pill and the tray show it: whole minutes (never folded into hours),
// a colon and two-digit seconds, e.g. "0:09" or "62:05".
#include <string>

std::string clockText(int seconds);
