// Filtering and searching 10,000 one-hour records, per keystroke, against the floor of a plain
// substring scan over the same searchable texts.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "SampleMeetings.h"
#include "library/LibraryStore.h"
#include "util/Uuid.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 10000;
constexpr int kLines = 400;  // about one hour of conversation, ~40 KB of JSON per record
constexpr int kFolders = 20;
constexpr int kTags = 50;

const char* const kWords[] = {
    "予算",     "計画",           "進捗",         "確認",     "資料",         "共有",     "顧客",
    "対応",     "品質",           "改善",         "課題",     "検討",         "報告",     "会議",
    "来週",     "今月",           "担当",         "調整",     "見積もり",     "契約",     "提案",
    "開発",     "テスト",         "リリース",     "設計",     "仕様",         "変更",     "承認",
    "売上",     "目標",           "施策",         "分析",     "スケジュール", "メンバー", "タスク",
    "レビュー", "フィードバック", "ミーティング", "サーバー", "データ",
};
const char* const kJoins[] = {"の", "を", "は", "が", "について", "と", "で", "に"};
const char* const kEnds[] = {"します。",     "しましょう。", "です。",
                             "が必要です。", "を進めます。", "でお願いします。"};
const char* const kPlaces[] = {"札幌", "仙台", "東京", "横浜", "名古屋", "京都", "大阪",
                               "神戸", "広島", "福岡", "那覇", "金沢",   "新潟", "静岡",
                               "岡山", "熊本", "長野", "富山", "高松",   "松山"};
const char* const kSubjects[] = {"物流拠点", "新店舗",   "採用計画", "販促企画", "基幹刷新",
                                 "営業戦略", "在庫管理", "品質監査", "顧客調査", "価格改定"};
const char* const kPeople[] = {"田中",   "佐藤", "鈴木", "高橋", "伊藤",   "渡辺", "山本", "中村",
                               "小林",   "加藤", "吉田", "山田", "佐々木", "山口", "松本", "井上",
                               "木村",   "林",   "斎藤", "清水", "山崎",   "森",   "池田", "橋本",
                               "阿部",   "石川", "山下", "中島", "石井",   "小川", "前田", "岡田",
                               "長谷川", "藤田", "後藤", "近藤", "村上",   "遠藤", "青木", "坂本"};

const SampleMeetings kMeetings{kWords, kJoins, kEnds, kPlaces, kSubjects, kPeople, kLines};

struct Fixture {
    fs::path root = fs::temp_directory_path() / ("tavro-bench-" + uuid::make());
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<LibraryStore> store;
    std::vector<MinutesRecord> records;
    std::vector<std::string> floorTexts;
    std::vector<std::string> folderIDs;
    std::vector<std::string> tagIDs;
    double coldMs = 0;

    Fixture() {
        defaults = std::make_unique<UserDefaults>(root / "defaults.json");
        store = std::make_unique<LibraryStore>(root / "data", *defaults);
        std::mt19937 rng(7);
        const Timestamp now = std::chrono::system_clock::now();
        for (int i = 0; i < kRecords; ++i) {
            records.push_back(kMeetings.meeting(rng, i, now - std::chrono::hours(i)));
        }
        for (int i = 0; i < kFolders; ++i) {
            folderIDs.push_back(store->createFolder("フォルダ" + std::to_string(i)).id);
        }
        for (int i = 0; i < kTags; ++i) {
            tagIDs.push_back(store->createTag("タグ" + std::to_string(i)).id);
        }
        // Metadata on every other record; grouped so the file is written once per group.
        std::map<std::string, std::set<std::string>> byFolder;
        std::map<std::string, std::set<std::string>> byTag;
        for (int i = 0; i < kRecords; i += 2) {
            byFolder[folderIDs[rng() % kFolders]].insert(records[i].id);
            for (int k = 0; k < 2; ++k) byTag[tagIDs[rng() % kTags]].insert(records[i].id);
        }
        for (const auto& [folder, ids] : byFolder) store->setFolders({folder}, ids);
        for (const auto& [tag, ids] : byTag) store->addTag(tag, ids);

        for (const auto& r : records) {
            floorTexts.push_back(store->searchableText(r, store->metadata(r.id)));
        }
        LibraryFilter warm;
        warm.archive = LibraryArchiveFilter::all;
        warm.query = "x";
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(store->records(records, warm));
        warm.query.clear();
        warm.participant = "x";
        benchmark::DoNotOptimize(store->records(records, warm));
        coldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count();
    }
    ~Fixture() {
        store.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::size_t floorScan(const std::string& query) {
    std::size_t hits = 0;
    for (const auto& t : fixture().floorTexts) {
        hits += ::memmem(t.data(), t.size(), query.data(), query.size()) != nullptr;
    }
    return hits;
}

const std::string kTyped = "札幌物流拠点";

std::string typedPrefix(int chars) {
    // Each of these characters is three bytes of UTF-8.
    return kTyped.substr(0, static_cast<std::size_t>(chars) * 3);
}

void BM_Query(benchmark::State& state) {
    LibraryFilter f;
    f.query = typedPrefix(static_cast<int>(state.range(0)));
    std::size_t hits = 0;
    for (auto _ : state) hits = fixture().store->records(fixture().records, f).size();
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_FloorScan(benchmark::State& state) {
    const std::string q = typedPrefix(static_cast<int>(state.range(0)));
    std::size_t hits = 0;
    for (auto _ : state) hits = floorScan(q);
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_Participant(benchmark::State& state) {
    LibraryFilter f;
    f.participant = "佐々木";
    std::size_t hits = 0;
    for (auto _ : state) hits = fixture().store->records(fixture().records, f).size();
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_FolderAndTag(benchmark::State& state) {
    LibraryFilter f;
    f.folderIDs = {fixture().folderIDs[3]};
    f.tagIDs = {fixture().tagIDs[7], fixture().tagIDs[12]};
    std::size_t hits = 0;
    for (auto _ : state) hits = fixture().store->records(fixture().records, f).size();
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_AbsentQuery(benchmark::State& state) {
    LibraryFilter f;
    f.query = "承認会議";  // common characters, never next to each other
    std::size_t hits = 0;
    for (auto _ : state) hits = fixture().store->records(fixture().records, f).size();
    state.counters["hits"] = static_cast<double>(hits);
}

void BM_AbsentFloor(benchmark::State& state) {
    std::size_t hits = 0;
    for (auto _ : state) hits = floorScan("承認会議");
    state.counters["hits"] = static_cast<double>(hits);
}

BENCHMARK(BM_Query)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorScan)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Participant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderAndTag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbsentQuery)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AbsentFloor)->Unit(benchmark::kMillisecond);

template <typename F>
double medianMs(F&& f, int runs = 15) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void printSummary() {
    Fixture& fx = fixture();
    std::size_t textBytes = 0;
    for (const auto& t : fx.floorTexts) textBytes += t.size();
    std::printf(
        "\n%d records, %.0f MB of searchable text; first query (prepares every text): "
        "%.0f ms\n",
        kRecords, static_cast<double>(textBytes) / 1e6, fx.coldMs);
    std::printf("%-22s %10s %10s %8s %6s\n", "query", "ours ms", "floor ms", "ratio", "hits");
    auto row = [&](const std::string& label, const std::string& q) {
        LibraryFilter f;
        f.query = q;
        std::size_t hits = 0;
        const double ours = medianMs([&] { hits = fx.store->records(fx.records, f).size(); });
        const double floor = medianMs([&] { benchmark::DoNotOptimize(floorScan(q)); });
        std::printf("%-22s %10.2f %10.2f %8.2f %6zu\n", label.c_str(), ours, floor, ours / floor,
                    hits);
    };
    for (int n = 1; n <= 5; ++n) row("typed " + typedPrefix(n), typedPrefix(n));
    row("absent 承認会議", "承認会議");
    // Every character pair of this one is common, so no record is ruled out without a scan.
    row("rare 計画の予算を承認", "計画の予算を承認");
    LibraryFilter p;
    p.participant = "佐々木";
    std::printf("%-22s %10.2f\n", "participant 佐々木",
                medianMs([&] { benchmark::DoNotOptimize(fx.store->records(fx.records, p)); }));
    LibraryFilter ft;
    ft.folderIDs = {fx.folderIDs[3]};
    ft.tagIDs = {fx.tagIDs[7], fx.tagIDs[12]};
    std::printf("%-22s %10.2f\n", "folder + tag",
                medianMs([&] { benchmark::DoNotOptimize(fx.store->records(fx.records, ft)); }));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bool summary = true;
    for (int i = 1; i < argc; ++i) summary = summary && std::strcmp(argv[i], "--no-summary") != 0;
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    if (summary) printSummary();
    benchmark::Shutdown();
    return 0;
}
