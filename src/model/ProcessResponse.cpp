#include "model/ProcessResponse.h"

ProcessResponse ProcessResponse::fromJson(const json::Value& v) {
    json::asObject(v, "response");
    ProcessResponse r;
    if (const auto* result = json::optionalObject(v, "result"))
        r.result = MinutesResult::fromJson(*result);
    r.error = json::optionalString(v, "error");
    return r;
}
