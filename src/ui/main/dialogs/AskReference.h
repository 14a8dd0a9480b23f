#pragma once
// One transcript line an ask-across answer rests on: the record it is in and the link text.
#include <string>

struct AskReference {
    std::string recordID;
    std::string label;

    std::string identity() const { return recordID + ":" + label; }
    bool operator==(const AskReference&) const = default;
};
