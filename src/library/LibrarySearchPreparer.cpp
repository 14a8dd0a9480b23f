#include "library/LibrarySearchPreparer.h"

#include <QThread>

#include <algorithm>
#include <memory>

#include "library/MinutesStore.h"

LibrarySearchPreparer::LibrarySearchPreparer(LibrarySearchCache& cache, QObject* parent)
    : QObject(parent), cache_(cache) {
    // Leave a core to the main thread, which keeps drawing and answering keys meanwhile.
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 4));
}

LibrarySearchPreparer::~LibrarySearchPreparer() {
    pool_.clear();
    pool_.waitForDone();
}

void LibrarySearchPreparer::follow(MinutesStore& store) {
    if (store_ != &store) {
        if (store_) disconnect(store_, nullptr, this, nullptr);
        store_ = &store;
        connect(&store, &MinutesStore::recordsChanged, this, &LibrarySearchPreparer::restart);
    }
    restart();
}

void LibrarySearchPreparer::restart() {
    cursor_ = 0;
    while (inFlight_ < pool_.maxThreadCount()) {
        const int before = inFlight_;
        sendNext();
        if (inFlight_ == before) break;
    }
    if (inFlight_ == 0) emit finished();
}

void LibrarySearchPreparer::sendNext() {
    if (!store_) return;
    const std::vector<MinutesRecord>& records = store_->records();
    std::vector<LibrarySearchCache::Pieces> pieces;
    while (cursor_ < records.size() && pieces.size() < kBatch) {
        const MinutesRecord& r = records[cursor_++];
        if (!cache_.isPrepared(r)) pieces.push_back(LibrarySearchCache::piecesOf(r));
    }
    if (pieces.empty()) return;
    ++inFlight_;
    auto work = std::make_shared<std::vector<LibrarySearchCache::Pieces>>(std::move(pieces));
    pool_.start([this, work] {
        auto done = std::make_shared<std::vector<LibrarySearchCache::Prepared>>();
        done->reserve(work->size());
        for (auto& p : *work) done->push_back(LibrarySearchCache::prepare(std::move(p)));
        // Posted to this object: dropped unread if it is destroyed first.
        QMetaObject::invokeMethod(
            this, [this, done] { arrived(std::move(*done)); }, Qt::QueuedConnection);
    });
}

void LibrarySearchPreparer::arrived(std::vector<LibrarySearchCache::Prepared> batch) {
    --inFlight_;
    for (auto& p : batch) cache_.install(std::move(p));
    sendNext();
    if (inFlight_ == 0) emit finished();
}
