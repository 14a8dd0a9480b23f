#pragma once
// Decodes record files without building a JSON tree first: the text is validated and indexed
// in one pass and the record is read straight off the index. Loading a large library is then
// bound by the disk rather than by decoding.
#include <cstddef>
#include <memory>
#include <string>

#include "model/MinutesRecord.h"

class MinutesRecordDecoder {
public:
    MinutesRecordDecoder();
    ~MinutesRecordDecoder();
    MinutesRecordDecoder(const MinutesRecordDecoder&) = delete;
    MinutesRecordDecoder& operator=(const MinutesRecordDecoder&) = delete;

    // Spare capacity behind the text that lets it be read in place rather than copied.
    static constexpr std::size_t kPadding = 64;

    // Exactly as strict as MinutesRecord::fromJson(json::parse(text)): it accepts the same
    // texts, gives the same record and throws the same json::Error. Anything out of the
    // ordinary (a refusal, a repeated key, a number too large to index) is handed to that
    // route, so its rules stay the only ones. One decoder per thread; its buffers are reused.
    MinutesRecord decode(const std::string& text);

private:
    struct Parser;
    std::unique_ptr<Parser> parser_;
};
