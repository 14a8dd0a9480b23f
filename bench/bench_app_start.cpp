// The app started on a large library until its main window is first drawn, against the same
// start on an empty library. Each start is a process of its own, run as the program's entry
// runs it, with its data and settings folders in a temporary home.
#include <QApplication>
#include <QPointer>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "StoredLibrary.h"
#include "app/AppServices.h"
#include "app/TavroApp.h"
#include "service/UpdateChecker.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 2000;
constexpr int kRuns = 7;

// Ends the process at the window's first paint, which is what the user waits for.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int child(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAVRO"));
    AppServices& services = AppServices::shared();
    TavroApp tavro(services, UpdateChecker::shared());
    FirstPaint first;
    tavro.launch();
    tavro.mainWindow()->installEventFilter(&first);
    return app.exec();
}

// Milliseconds from the start of a process over `home` until it reports its window drawn.
double startOnce(const char* self, const fs::path& home) {
    const std::string vars[] = {"HOME=" + home.string(),
                                "XDG_DATA_HOME=" + (home / "data").string(),
                                "XDG_CONFIG_HOME=" + (home / "config").string()};
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view v(*e);
        if (!v.starts_with("HOME=") && !v.starts_with("XDG_DATA_HOME=") &&
            !v.starts_with("XDG_CONFIG_HOME="))
            env.push_back(*e);
    }
    for (const auto& v : vars) env.push_back(const_cast<char*>(v.c_str()));
    env.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>("--child"), nullptr};
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) return -1;
    char buf[16] = {};
    const bool shown = ::read(out[0], buf, sizeof buf - 1) > 0 && std::string(buf) == "shown\n";
    const auto t1 = std::chrono::steady_clock::now();
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return shown ? std::chrono::duration<double, std::milli>(t1 - t0).count() : -1;
}

// A home whose data folder holds `library`'s records.
struct Home {
    fs::path root = fs::temp_directory_path() / ("tavro-bench-home-" + uuid::make());
    explicit Home(const StoredLibrary& library) {
        fs::create_directories(root / "data");
        fs::create_directories(root / "config");
        fs::create_directory_symlink(library.root, root / "data" / "TAVRO");
    }
    ~Home() { fs::remove_all(root); }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--child") return child(argc, argv);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    StoredLibrary empty(0);
    StoredLibrary full(kRecords);
    Home emptyHome(empty);
    Home fullHome(full);
    std::vector<double> none, all;
    for (int i = 0; i < kRuns + 1; ++i) {
        const double a = startOnce(self.c_str(), emptyHome.root);
        const double b = startOnce(self.c_str(), fullHome.root);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "the app did not show its window\n");
            return 1;
        }
        if (i == 0) continue;  // the first start warms the page cache and the font cache
        none.push_back(a);
        all.push_back(b);
    }
    const double e = median(none), f = median(all);
    std::printf("library: %d records, %.1f MB of JSON\n", kRecords, full.bytes / 1e6);
    std::printf("main window drawn (median of %d): empty library %.0f ms, full library %.0f ms, "
                "ratio %.2fx (target <= 2x)\n",
                kRuns, e, f, f / e);
    return 0;
}
