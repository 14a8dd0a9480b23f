#pragma once
#include <optional>
#include <string>

#include "model/MinutesResult.h"

// The service's reply to a processing request. Decoded only.
struct ProcessResponse {
    std::optional<MinutesResult> result;
    std::optional<std::string> error;

    static ProcessResponse fromJson(const json::Value& v);  // throws json::Error
};
