#pragma once
// Prepares the records' search texts on worker threads after the records load, so that the
// first search need not fold every record on the spot. The records are read on the owner's
// thread a small batch at a time and only copies go to the workers, so the list may change
// meanwhile; a text whose record changed is dropped when it comes back.
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <cstddef>
#include <vector>

#include "library/LibrarySearchCache.h"
#include "model/MinutesRecord.h"

class MinutesStore;

class LibrarySearchPreparer : public QObject {
    Q_OBJECT
public:
    explicit LibrarySearchPreparer(LibrarySearchCache& cache, QObject* parent = nullptr);
    // Waits for the batches being folded; their results are dropped.
    ~LibrarySearchPreparer() override;

    // Prepares the store's records now and again whenever they change. The list is read
    // again between batches, and no longer once the store is gone.
    void follow(MinutesStore& store);
    bool busy() const { return inFlight_ > 0; }

    static constexpr std::size_t kBatch = 24;

signals:
    // Every record of the list was prepared.
    void finished();

private:
    void restart();
    void sendNext();
    void arrived(std::vector<LibrarySearchCache::Prepared> batch);

    LibrarySearchCache& cache_;
    QPointer<MinutesStore> store_;
    std::size_t cursor_ = 0;
    int inFlight_ = 0;
    QThreadPool pool_;
};
