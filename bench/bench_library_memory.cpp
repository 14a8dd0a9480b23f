// Resident memory of a large library once loaded: the store read and its search texts prepared
// as the app does, against the same with an empty store and against the JSON on disk.
#include <QCoreApplication>
#include <QEventLoop>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "StoredLibrary.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "util/UserDefaults.h"

namespace {

constexpr int kRecords = 2000;

double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    double size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// A store and its library over `root`, with the search texts prepared.
struct Loaded {
    UserDefaults defaults;
    MinutesStore store;
    LibraryStore library;

    explicit Loaded(const std::filesystem::path& root)
        : defaults(root / "defaults.json"), store(defaults, root, root / "no-legacy"),
          library(root, defaults) {
        QEventLoop loop;
        QObject::connect(&library, &LibraryStore::searchPrepared, &loop, &QEventLoop::quit);
        library.prepareSearch(store);
        if (library.preparingSearch()) loop.exec();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StoredLibrary empty(0);
    StoredLibrary full(kRecords);
    // Writing the library leaves freed memory behind that is not the store's.
    ::malloc_trim(0);

    Loaded none(empty.root);
    const double before = residentBytes();
    Loaded all(full.root);
    if (all.store.records().size() != kRecords) {
        std::fprintf(stderr, "records missing\n");
        return 1;
    }
    const double growth = residentBytes() - before;
    std::printf("library: %d records, %.1f MB of JSON\n", kRecords, full.bytes / 1e6);
    std::printf("resident: empty store %.1f MB, growth with the library %.1f MB, "
                "ratio %.2fx the JSON (target <= 1.2x)\n",
                before / 1e6, growth / 1e6, growth / static_cast<double>(full.bytes));
    return 0;
}
