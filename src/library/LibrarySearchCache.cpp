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
    bool any() const { return !first_; }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
    bool first_ = true;
};

}  // namespace

LibrarySearchCache::Around LibrarySearchCache::around(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    std::size_t bytes = record.sourceName.size() + r.title.size() + r.summary.size() + 3;
    Lines head(bytes + 1024);
    head.add(record.sourceName);
    head.add(r.title);
    head.add(r.summary);
    for (const auto& k : r.keyPoints) head.add(k);
    for (const auto& d : r.decisions) head.add(d);
    if (r.sections) {
        for (const auto& s : *r.sections) {
            head.add(s.heading);
            for (const auto& p : s.points) head.add(p.text);
        }
    }
    Lines tail(512);
    if (r.meta && r.meta->attendees) {
        for (const auto& a : *r.meta->attendees) tail.add(a);
    }
    for (const auto& todo : r.todos) {
        tail.add(todo.task);
        tail.add(todo.assignee.value_or(""));
        tail.add(todo.due.value_or(""));
    }
    Around out{head.take(), {}};
    std::string& behind = r.transcript.empty() ? out.before : out.after;
    if (!r.transcript.empty()) out.before += '\n';
    if (tail.any()) behind += '\n' + tail.take();
    return out;
}

std::string LibrarySearchCache::recordPieces(const MinutesRecord& record) {
    Around parts = around(record);
    parts.before += record.result.transcript.joined();
    return parts.before + parts.after;
}

std::string LibrarySearchCache::participantPieces(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    Lines lines(0);
    if (r.meta && r.meta->attendees) {
        for (const auto& a : *r.meta->attendees) lines.add(a);
    }
    for (std::size_t i = 0; i < r.transcript.size(); ++i) lines.add(r.transcript.speaker(i));
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
    if (!text_) {
        Around parts = around(record);
        text_.emplace(std::move(parts.before), transcriptOf(record), std::move(parts.after));
    }
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

std::shared_ptr<const std::string> LibrarySearchCache::transcriptOf(const MinutesRecord& record) {
    const Transcript& t = record.result.transcript;
    return t.empty() ? nullptr : t.sharedJoined();
}

LibrarySearchCache::Pieces LibrarySearchCache::piecesOf(const MinutesRecord& record) {
    return {record.id, guardOf(record), around(record), transcriptOf(record),
            participantPieces(record)};
}

LibrarySearchCache::Prepared LibrarySearchCache::prepare(Pieces pieces) {
    return {std::move(pieces.id), pieces.guard,
            LibrarySearchText(std::move(pieces.text.before), std::move(pieces.transcript),
                              std::move(pieces.text.after)),
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
