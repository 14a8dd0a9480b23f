#pragma once
// A data folder holding a large library as the store writes it: record files the size of a
// one-hour meeting (400 transcript lines, about 95 KB of JSON each), removed again at the end.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "model/MinutesRecord.h"
#include "util/AtomicFile.h"
#include "util/Uuid.h"

struct StoredLibrary {
    static constexpr int kLines = 400;

    std::filesystem::path root;
    std::size_t bytes = 0;

    explicit StoredLibrary(int records) {
        root = std::filesystem::temp_directory_path() / ("tavro-bench-" + uuid::make());
        std::filesystem::create_directories(root / "minutes");
        std::mt19937 rng(42);
        const auto start = std::chrono::system_clock::now();
        for (int i = 0; i < records; ++i) {
            MinutesRecord rec{uuid::make(), start - std::chrono::hours(i), "minutes", "rec.m4a",
                              meeting(rng, i)};
            const auto text = json::dumpCompact(rec.toJson());
            bytes += text.size();
            atomicfile::write(root / "minutes" / (rec.id + ".json"), text);
        }
    }
    ~StoredLibrary() { std::filesystem::remove_all(root); }
    StoredLibrary(const StoredLibrary&) = delete;
    StoredLibrary& operator=(const StoredLibrary&) = delete;

    static MinutesResult meeting(std::mt19937& rng, int n) {
        static const char* const kPhrases[] = {
            "来週までに見積もりを作成して共有します",
            "その件は先方の確認が取れ次第進めましょう",
            "予算については前回の会議で承認済みです",
            "スケジュールが少し遅れているので調整が必要です",
            "はい、承知しました。資料を確認します",
            "次回の定例で進捗を報告してください",
        };
        static const char* const kSpeakers[] = {"田中", "佐藤", "鈴木", "高橋"};
        MinutesResult r;
        r.title = "週次定例ミーティング 第" + std::to_string(n) + "回";
        r.meta =
            MinutesMeta{"2025-03-07", "会議室A", std::vector<std::string>{"田中", "佐藤", "鈴木"}};
        r.summary = "プロジェクトの進捗と来期の予算について確認した。";
        for (int i = 0; i < 6; ++i) r.keyPoints.push_back(kPhrases[rng() % 6]);
        for (int i = 0; i < 3; ++i) r.decisions.push_back(kPhrases[rng() % 6]);
        for (int i = 0; i < 5; ++i)
            r.todos.push_back(TodoItem{kPhrases[rng() % 6], kSpeakers[rng() % 4], "3/14",
                                       std::vector<std::int64_t>{i}, i == 0});
        for (int i = 0; i < kLines; ++i) {
            char time[16];
            std::snprintf(time, sizeof time, "%02d:%02d", i / 7 % 60, i % 60);
            r.transcript.push_back(
                TranscriptLine{kSpeakers[rng() % 4], std::string(time),
                               std::string(kPhrases[rng() % 6]) + "。" + kPhrases[rng() % 6] +
                                   "。" + kPhrases[rng() % 6]});
        }
        return r;
    }
};
