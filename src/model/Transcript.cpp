#include "model/Transcript.h"

#include <limits>
#include <stdexcept>

#include "util/Hash.h"

Transcript::Transcript(std::initializer_list<TranscriptLine> lines) {
    for (const auto& line : lines) push_back(line);
}

Transcript::Transcript(const std::vector<TranscriptLine>& lines) {
    std::size_t bytes = 0, timeBytes = 0;
    for (const auto& line : lines) {
        bytes += line.speaker.size() + line.text.size() + 2;
        timeBytes += line.time ? line.time->size() : 0;
    }
    reserve(lines.size(), bytes, timeBytes);
    for (const auto& line : lines) push_back(line);
}

std::size_t Transcript::textEnd(std::size_t i) const {
    const auto& lines = data_->lines;
    return i + 1 < lines.size() ? lines[i + 1].speaker - 1 : data_->joined.size();
}

const TranscriptLine Transcript::operator[](std::size_t i) const {
    const auto t = time(i);
    return TranscriptLine{std::string(speaker(i)),
                          t ? std::optional<std::string>(std::string(*t)) : std::nullopt,
                          std::string(text(i))};
}

std::string_view Transcript::speaker(std::size_t i) const {
    const Line& l = data_->lines[i];
    return std::string_view(data_->joined).substr(l.speaker, l.text - 1 - l.speaker);
}

std::string_view Transcript::text(std::size_t i) const {
    const Line& l = data_->lines[i];
    return std::string_view(data_->joined).substr(l.text, textEnd(i) - l.text);
}

std::optional<std::string_view> Transcript::time(std::size_t i) const {
    const auto& lines = data_->lines;
    if (!(lines[i].time & kHasTime)) return std::nullopt;
    const std::size_t begin = lines[i].time & ~kHasTime;
    const std::size_t end =
        i + 1 < lines.size() ? lines[i + 1].time & ~kHasTime : data_->times.size();
    return std::string_view(data_->times).substr(begin, end - begin);
}

Transcript::Data& Transcript::unshared() {
    if (!data_)
        data_ = std::make_shared<Data>();
    else if (data_.use_count() > 1)
        data_ = std::make_shared<Data>(*data_);
    return *data_;
}

void Transcript::reserve(std::size_t lines, std::size_t textBytes, std::size_t timeBytes) {
    Data& d = unshared();
    d.lines.reserve(lines);
    d.joined.reserve(textBytes);
    d.times.reserve(timeBytes);
}

void Transcript::push_back(const TranscriptLine& line) {
    append(line.speaker,
           line.time ? std::optional<std::string_view>(*line.time) : std::nullopt, line.text);
}

void Transcript::append(std::string_view speaker, std::optional<std::string_view> time,
                        std::string_view text) {
    Data& d = unshared();
    const std::size_t joined = d.joined.size() + speaker.size() + text.size() + 2;
    const std::size_t times = d.times.size() + (time ? time->size() : 0);
    if (joined > std::numeric_limits<std::uint32_t>::max() || times >= kHasTime)
        throw std::length_error("transcript too large");
    if (!d.lines.empty()) d.joined += '\n';
    Line l{};
    l.speaker = static_cast<std::uint32_t>(d.joined.size());
    d.joined += speaker;
    d.joined += '\n';
    l.text = static_cast<std::uint32_t>(d.joined.size());
    d.joined += text;
    l.time = static_cast<std::uint32_t>(d.times.size()) | (time ? kHasTime : 0);
    if (time) d.times += *time;
    d.lines.push_back(l);
    size_ = d.lines.size();
}

std::string_view Transcript::joined() const {
    return data_ ? std::string_view(data_->joined) : std::string_view();
}

std::shared_ptr<const std::string> Transcript::sharedJoined() const {
    if (!data_) return std::make_shared<const std::string>();
    return std::shared_ptr<const std::string>(data_, &data_->joined);
}

bool Transcript::operator==(const Transcript& other) const {
    if (data_ == other.data_) return true;
    if (size() != other.size()) return false;
    if (empty()) return true;
    // The layout follows from the lines alone, so equal lines give equal buffers and offsets.
    if (data_->joined != other.data_->joined || data_->times != other.data_->times) return false;
    for (std::size_t i = 0; i < size(); ++i) {
        const Line& a = data_->lines[i];
        const Line& b = other.data_->lines[i];
        if (a.speaker != b.speaker || a.text != b.text || a.time != b.time) return false;
    }
    return true;
}

std::size_t std::hash<Transcript>::operator()(const Transcript& v) const noexcept {
    std::size_t seed = 0;
    hashing::combine(seed, v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        hashing::combine(seed, hashing::of(v.speaker(i), v.time(i), v.text(i)));
    return seed;
}
