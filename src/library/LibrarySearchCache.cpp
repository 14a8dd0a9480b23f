#include "library/LibrarySearchCache.h"

#include <iterator>
#include <string_view>
#include <unordered_set>

namespace {

class Lines {
public:
    explicit Lines(std::size_t reserve) { out_.reserve(reserve); }
    void add(std::string_view piece) {
        if (!first_) out_ += '\n';
        out_ += piece;
        first_ = false;
    }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
    bool first_ = true;
};

}  // namespace

std::string LibrarySearchCache::recordPieces(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    std::size_t bytes = record.sourceName.size() + r.title.size() + r.summary.size() + 3;
    for (const auto& t : r.transcript) bytes += t.speaker.size() + t.text.size() + 2;
    Lines lines(bytes + 1024);
    lines.add(record.sourceName);
    lines.add(r.title);
    lines.add(r.summary);
    for (const auto& k : r.keyPoints) lines.add(k);
    for (const auto& d : r.decisions) lines.add(d);
    if (r.sections) {
        for (const auto& s : *r.sections) {
            lines.add(s.heading);
            for (const auto& p : s.points) lines.add(p.text);
        }
    }
    for (const auto& t : r.transcript) {
        lines.add(t.speaker);
        lines.add(t.text);
    }
    if (r.meta && r.meta->attendees) {
        for (const auto& a : *r.meta->attendees) lines.add(a);
    }
    for (const auto& todo : r.todos) {
        lines.add(todo.task);
        lines.add(todo.assignee.value_or(""));
        lines.add(todo.due.value_or(""));
    }
    return lines.take();
}

std::string LibrarySearchCache::participantPieces(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    Lines lines(0);
    if (r.meta && r.meta->attendees) {
        for (const auto& a : *r.meta->attendees) lines.add(a);
    }
    for (const auto& t : r.transcript) lines.add(t.speaker);
    for (const auto& todo : r.todos) {
        if (todo.assignee) lines.add(*todo.assignee);
    }
    return lines.take();
}

LibrarySearchCache::Slot::Guard LibrarySearchCache::guardOf(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    auto n = [](std::size_t v) { return static_cast<std::int64_t>(v); };
    const std::size_t attendees = r.meta && r.meta->attendees ? r.meta->attendees->size() + 1 : 0;
    return {record.createdAt.time_since_epoch().count(),
            n(record.sourceName.size()),
            n(r.title.size()),
            n(r.summary.size()),
            n(r.keyPoints.size()),
            n(r.decisions.size()),
            n(r.todos.size()),
            n(r.transcript.size()),
            n(r.sections ? r.sections->size() + 1 : 0),
            n(attendees)};
}

LibrarySearchCache::Slot& LibrarySearchCache::slotFor(const MinutesRecord& record,
                                                      std::size_t index) {
    const Slot::Guard guard = guardOf(record);
    if (index < order_.size()) {
        Slot* known = order_[index];
        if (known && known->idData == record.id.data() && known->guard == guard) return *known;
    } else {
        order_.resize(index + 1, nullptr);
    }
    auto [it, added] = slots_.try_emplace(record.id);
    Slot& slot = it->second;
    if (!added && slot.guard != guard) slot = Slot();
    slot.guard = guard;
    slot.idData = record.id.data();
    order_[index] = &slot;
    return slot;
}

const LibrarySearchText& LibrarySearchCache::Slot::text(const MinutesRecord& record) {
    if (!text_) text_.emplace(recordPieces(record));
    return *text_;
}

const LibrarySearchText& LibrarySearchCache::Slot::participants(const MinutesRecord& record) {
    if (!participants_) participants_.emplace(participantPieces(record));
    return *participants_;
}

void LibrarySearchCache::prune(const std::vector<MinutesRecord>& records) {
    order_.resize(records.size());
    if (slots_.size() <= 2 * records.size() + 64) return;
    order_.clear();
    std::unordered_set<std::string_view> live;
    for (const auto& r : records) live.insert(r.id);
    std::erase_if(slots_, [&](const auto& kv) { return !live.count(kv.first); });
}

bool LibrarySearchCache::isPrepared(const MinutesRecord& record) const {
    auto it = slots_.find(record.id);
    return it != slots_.end() && it->second.text_ && it->second.participants_ &&
           it->second.guard == guardOf(record);
}

LibrarySearchCache::Pieces LibrarySearchCache::piecesOf(const MinutesRecord& record) {
    return {record.id, guardOf(record), recordPieces(record), participantPieces(record)};
}

LibrarySearchCache::Prepared LibrarySearchCache::prepare(Pieces pieces) {
    return {std::move(pieces.id), pieces.guard, LibrarySearchText(std::move(pieces.text)),
            LibrarySearchText(std::move(pieces.participants))};
}

void LibrarySearchCache::install(Prepared prepared) {
    auto [it, added] = slots_.try_emplace(prepared.id);
    Slot& slot = it->second;
    if (added) {
        slot.guard = prepared.guard;
    } else if (slot.guard != prepared.guard) {
        return;
    }
    if (!slot.text_) slot.text_ = std::move(prepared.text);
    if (!slot.participants_) slot.participants_ = std::move(prepared.participants);
}
