#include "model/TranscriptLine.h"

#include "util/Hash.h"

json::Value TranscriptLine::toJson() const {
    json::Value o = json::Value::object();
    o["speaker"] = speaker;
    json::putOptional(o, "time", time);
    o["text"] = text;
    return o;
}

TranscriptLine TranscriptLine::fromJson(const json::Value& v) {
    json::asObject(v, "transcript line");
    return TranscriptLine{json::requireString(v, "speaker"), json::optionalString(v, "time"),
                          json::requireString(v, "text")};
}

std::size_t std::hash<TranscriptLine>::operator()(const TranscriptLine& v) const noexcept {
    return hashing::of(v.speaker, v.time, v.text);
}
