#pragma once
#include "util/Json.h"

// The minutes the fake service answers with: a Japanese meeting with meta data, several action
// items (one of them marked for the agent), headed sections and a transcript of four speakers.
json::Value sampleMinutesJson();
