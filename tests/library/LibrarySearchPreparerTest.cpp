#include <QSignalSpy>

#include <gtest/gtest.h>

#include "library/LibrarySearchPreparer.h"
#include "library/MinutesStore.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

TEST(LibrarySearchPreparer, PreparesEveryRecordAndNeverInstallsAStaleText) {
    testsupport::TempDir dir;
    UserDefaults defaults(dir.path() / "defaults.json");
    MinutesStore store(defaults, dir.path() / "data", dir.path() / "legacy");
    auto add = [&](const std::string& title) {
        MinutesResult r;
        r.title = title;
        r.summary = title + "の要約";
        r.transcript.push_back({"田中", std::nullopt, "本文"});
        store.add(r, "minutes", title + ".m4a");
        QCoreApplication::processEvents();
    };
    // More than a few batches, so that several workers take part.
    for (int i = 0; i < 3 * static_cast<int>(LibrarySearchPreparer::kBatch) + 5; ++i)
        add("会議" + std::to_string(i));

    LibrarySearchCache cache;
    LibrarySearchPreparer preparer(cache);
    QSignalSpy finished(&preparer, &LibrarySearchPreparer::finished);
    preparer.follow(store);
    ASSERT_TRUE(finished.wait(20000));
    for (const MinutesRecord& r : store.records())
        EXPECT_TRUE(cache.isPrepared(r)) << r.result.title;

    // A record that arrives later is prepared after it arrives.
    add("追加の会議");
    if (preparer.busy()) {
        ASSERT_TRUE(finished.wait(20000));
    }
    EXPECT_TRUE(cache.isPrepared(store.records().front()));

    // Text folded from another record under the same id is dropped, not installed.
    MinutesRecord changed = store.records().front();
    changed.result.title = "別の内容で長くなったタイトル";
    cache.install(LibrarySearchCache::prepare(LibrarySearchCache::piecesOf(changed)));
    const MinutesRecord& kept = store.records().front();
    EXPECT_EQ(cache.slotFor(kept, 0).text(kept).folded().find("別の内容"), std::string::npos);
    EXPECT_FALSE(cache.isPrepared(changed));
}

}  // namespace
