// Selecting a one-hour record (400 transcript lines, 12 action items) until the detail view has
// laid out each tab, offscreen; and scrolling the transcript by a page with its painting.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDBusConnection>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>

#include "NoDialogs.h"
#include "desktop/CalendarWatcher.h"
#include "engine/RecorderEngine.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "platform/Notifier.h"
#include "service/AuthModel.h"
#include "service/UpdateChecker.h"
#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/detail/DetailView.h"
#include "ui/main/detail/DetailViewModel.h"
#include "util/UserDefaults.h"

namespace {

MinutesResult oneHourMeeting() {
    const char* people[] = {"田中", "佐藤", "鈴木", "高橋"};
    MinutesResult r;
    r.title = "札幌物流拠点 定例 第12回";
    r.meta = MinutesMeta{"2025-03-07", "会議室A",
                         std::vector<std::string>{"田中", "佐藤", "鈴木", "高橋"}};
    r.summary =
        "物流拠点の進捗と来期の予算について確認した。各担当から報告があり、"
        "スケジュールの見直しと追加の見積もりが必要との結論になった。";
    for (int i = 0; i < 6; ++i)
        r.keyPoints.push_back("重要ポイント" + std::to_string(i + 1) + ": 予算の配分を確認する");
    for (int i = 0; i < 3; ++i)
        r.decisions.push_back("決定事項" + std::to_string(i + 1) + ": 来週までに資料を共有する");
    for (int i = 0; i < 12; ++i) {
        r.todos.push_back(TodoItem{"タスク" + std::to_string(i + 1) + ": 見積もりを取り直す",
                                   std::string(people[i % 4]), "3/14", std::nullopt,
                                   i % 4 == 3 ? std::optional<bool>(true) : std::nullopt});
    }
    for (int i = 0; i < 400; ++i) {
        r.transcript.push_back(
            {people[i % 4], std::to_string(i / 7) + ":" + std::to_string(10 + i % 50),
             "出店計画の進捗と予算の配分について、担当者から説明がありました。来週までに"
             "見積もりを揃えて、次回の会議で最終的な判断をします。"});
    }
    return r;
}

// Everything a window is built with, over stores in a temporary folder.
struct World {
    QTemporaryDir dir;
    UserDefaults defaults{(dir.path() + "/defaults.json").toStdString()};
    MinutesStore store{defaults, (dir.path() + "/data").toStdString(),
                       (dir.path() + "/legacy").toStdString()};
    LibraryStore library{(dir.path() + "/data").toStdString(), defaults};
    RecorderEngine engine{store, defaults};
    AuthModel auth{defaults};
    Notifier notifier{QDBusConnection(QStringLiteral("no-bus"))};
    UpdateChecker updates{"1.0.0", defaults, notifier};
    CalendarWatcher calendar{nullptr, defaults};
    NoDialogs dialogs;
    UiContext ctx{store, library, engine, auth, updates, calendar, defaults, dialogs};
    MainViewModel main{store, library, defaults, dialogs};
    std::string id;

    World() {
        id = store.add(oneHourMeeting(), "minutes", "meeting.m4a").id;
        QCoreApplication::processEvents();
    }
};

World& world() {
    static World w;
    return w;
}

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
}

std::unique_ptr<DetailView> openView() {
    auto view = std::make_unique<DetailView>(world().ctx, world().main, world().id);
    view->resize(820, 708);
    view->show();
    settle();
    return view;
}

void BM_SummaryTab(benchmark::State& state) {
    for (auto _ : state) {
        auto view = openView();
        benchmark::DoNotOptimize(view->page(DetailViewModel::summaryTab));
        state.PauseTiming();
        view.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void switchTab(benchmark::State& state, int tab) {
    for (auto _ : state) {
        state.PauseTiming();
        auto view = openView();
        state.ResumeTiming();
        view->viewModel().setTab(tab);
        settle();
        benchmark::DoNotOptimize(view->scrollArea(tab)->verticalScrollBar()->maximum());
        state.PauseTiming();
        view.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void BM_ActionTab(benchmark::State& state) {
    switchTab(state, DetailViewModel::actionsTab);
}

void BM_TranscriptTab(benchmark::State& state) {
    switchTab(state, DetailViewModel::transcriptTab);
}

// One page down the transcript, painted.
void BM_TranscriptScrollPage(benchmark::State& state) {
    auto view = openView();
    view->viewModel().setTab(DetailViewModel::transcriptTab);
    settle();
    QScrollBar* bar = view->scrollArea(DetailViewModel::transcriptTab)->verticalScrollBar();
    QWidget* viewport = view->scrollArea(DetailViewModel::transcriptTab)->viewport();
    for (auto _ : state) {
        bar->setValue(
            bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        benchmark::DoNotOptimize(viewport->grab());
    }
}

BENCHMARK(BM_SummaryTab)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ActionTab)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TranscriptTab)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TranscriptScrollPage)->Unit(benchmark::kMillisecond)->MinTime(1.0);

class TabReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                ms[r.run_name.function_name] = r.cpu_accumulated_time / r.iterations * 1e3;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Noto Sans CJK JP"));
    QApplication::setFont(font);
    benchmark::Initialize(&argc, argv);
    world();
    TabReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf(
        "detail open, CPU per tab (target < 50 ms): summary %.1f ms, actions %.1f ms, "
        "transcript %.1f ms; transcript page scroll %.1f ms\n",
        reporter.ms["BM_SummaryTab"], reporter.ms["BM_ActionTab"], reporter.ms["BM_TranscriptTab"],
        reporter.ms["BM_TranscriptScrollPage"]);
    benchmark::Shutdown();
    return 0;
}
