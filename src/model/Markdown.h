#pragma once
#include <string>

#include "model/MinutesResult.h"

// The Markdown document of the minutes: the record's .md file, the clipboard, exports and the
// agent's input all use this one text.
std::string toMarkdown(const MinutesResult& result, const std::string& templateLabel);
