#include "library/LibrarySearchCache.h"

#include <iterator>

namespace {

class Lines {
public:
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
    Lines lines;
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
    Lines lines;
    if (r.meta && r.meta->attendees) {
        for (const auto& a : *r.meta->attendees) lines.add(a);
    }
    for (const auto& t : r.transcript) lines.add(t.speaker);
    for (const auto& todo : r.todos) {
        if (todo.assignee) lines.add(*todo.assignee);
    }
    return lines.take();
}

LibrarySearchCache::Guard LibrarySearchCache::guardOf(const MinutesRecord& record) {
    const MinutesResult& r = record.result;
    const std::size_t attendees = r.meta && r.meta->attendees ? r.meta->attendees->size() + 1 : 0;
    const std::size_t lastLine = r.transcript.empty() ? 0 : r.transcript.back().text.size();
    return Guard{
        record.createdAt,
        record.sourceName,
        r.title,
        {r.summary.size(), r.keyPoints.size(), r.decisions.size(), r.todos.size(),
         r.transcript.size(), r.sections ? r.sections->size() + 1 : 0, attendees, lastLine}};
}

LibrarySearchCache::Entry& LibrarySearchCache::entryFor(const MinutesRecord& record) {
    auto it = entries_.find(record.id);
    if (it == entries_.end()) {
        it = entries_.emplace(record.id, Entry{guardOf(record), nullptr, nullptr, 0}).first;
    } else if (!(it->second.guard == guardOf(record))) {
        it->second = Entry{guardOf(record), nullptr, nullptr, 0};
    }
    if (it->second.pass != pass_) {
        it->second.pass = pass_;
        ++met_;
    }
    return it->second;
}

const LibrarySearchText& LibrarySearchCache::recordText(const MinutesRecord& record) {
    Entry& e = entryFor(record);
    if (!e.text) e.text = std::make_unique<LibrarySearchText>(recordPieces(record));
    return *e.text;
}

const LibrarySearchText& LibrarySearchCache::participantText(const MinutesRecord& record) {
    Entry& e = entryFor(record);
    if (!e.participants) {
        e.participants = std::make_unique<LibrarySearchText>(participantPieces(record));
    }
    return *e.participants;
}

void LibrarySearchCache::endPass() {
    if (entries_.size() > 2 * met_ + 64) {
        std::erase_if(entries_, [&](const auto& kv) { return kv.second.pass != pass_; });
    }
    met_ = 0;
}
