#pragma once
#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/TranscriptLine.h"

// The lines of a transcript, held compactly: the speakers and texts in one buffer, in the form
// the library search reads them ("speaker\ntext\nspeaker\ntext…"), so that the search can use
// the buffer itself rather than a copy, and the times in another. Copies share the buffers;
// a shared buffer is never changed.
class Transcript {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TranscriptLine;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = TranscriptLine;

        const_iterator() = default;
        const_iterator(const Transcript* t, std::size_t i) : t_(t), i_(i) {}
        TranscriptLine operator*() const { return (*t_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        const_iterator operator++(int) { return {t_, i_++}; }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }

    private:
        const Transcript* t_ = nullptr;
        std::size_t i_ = 0;
    };

    Transcript() = default;
    Transcript(std::initializer_list<TranscriptLine> lines);
    Transcript(const std::vector<TranscriptLine>& lines);  // NOLINT: reads like the list it holds

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // A copy of line `i`; const so that assigning to it is refused rather than lost.
    const TranscriptLine operator[](std::size_t i) const;
    std::string_view speaker(std::size_t i) const;
    std::optional<std::string_view> time(std::size_t i) const;
    std::string_view text(std::size_t i) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // Room for `lines` lines whose speakers and texts come to `textBytes` and times to `timeBytes`.
    void reserve(std::size_t lines, std::size_t textBytes, std::size_t timeBytes);
    void push_back(const TranscriptLine& line);
    void append(std::string_view speaker, std::optional<std::string_view> time,
                std::string_view text);
    void clear() {
        data_.reset();
        size_ = 0;
    }

    // Every line's speaker and text, all joined with "\n"; empty without lines.
    std::string_view joined() const;
    // The same buffer, kept alive for as long as the caller holds it.
    std::shared_ptr<const std::string> sharedJoined() const;

    bool operator==(const Transcript& other) const;

private:
    // Offsets into the buffers; a line ends where the next one starts. The top bit of `time`
    // marks a time that is present.
    struct Line {
        std::uint32_t speaker;
        std::uint32_t text;
        std::uint32_t time;
    };
    struct Data {
        std::string joined;
        std::string times;
        std::vector<Line> lines;
    };
    static constexpr std::uint32_t kHasTime = 0x80000000u;

    Data& unshared();
    std::size_t textEnd(std::size_t i) const;

    std::shared_ptr<Data> data_;
    // Kept here as well, so that counting lines reads nothing behind the pointer.
    std::size_t size_ = 0;
};

template <>
struct std::hash<Transcript> {
    std::size_t operator()(const Transcript& v) const noexcept;
};
