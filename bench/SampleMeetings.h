#pragma once
// Made-up one-hour meetings for the filter benchmarks, drawn from word lists each benchmark
// chooses, so that a seed always yields the same library.
#include <algorithm>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "model/MinutesRecord.h"
#include "util/Uuid.h"

struct SampleMeetings {
    using Words = std::span<const char* const>;

    Words words, joins, ends, places, subjects, people;
    int lines = 400;  // about one hour of conversation

    static const char* pick(std::mt19937& rng, Words list) { return list[rng() % list.size()]; }

    std::string sentence(std::mt19937& rng) const {
        std::string s;
        const int count = 3 + static_cast<int>(rng() % 4);
        for (int i = 0; i < count; ++i) {
            s += pick(rng, words);
            s += i + 1 < count ? pick(rng, joins) : pick(rng, ends);
        }
        return s;
    }

    // Meeting number `n`: four attendees, a summary, key points, decisions, tasks and a
    // transcript that names its topic now and then.
    MinutesRecord meeting(std::mt19937& rng, int n, Timestamp created) const {
        const std::string topic = std::string(pick(rng, places)) + pick(rng, subjects);
        std::vector<std::string> attendees;
        while (attendees.size() < 4) {
            std::string p = pick(rng, people);
            if (std::find(attendees.begin(), attendees.end(), p) == attendees.end())
                attendees.push_back(p);
        }
        MinutesResult r;
        r.title = topic + " 定例 第" + std::to_string(n) + "回";
        r.meta = MinutesMeta{"2025-03-07", "会議室A", attendees};
        r.summary = topic + "の進捗と来期の予算について確認した。" + sentence(rng);
        for (int i = 0; i < 6; ++i) r.keyPoints.push_back(sentence(rng));
        for (int i = 0; i < 3; ++i) r.decisions.push_back(sentence(rng));
        for (int i = 0; i < 5; ++i)
            r.todos.push_back(TodoItem{sentence(rng), attendees[rng() % attendees.size()], "3/14",
                                       std::nullopt, std::nullopt});
        for (int i = 0; i < lines; ++i) {
            char time[16];
            std::snprintf(time, sizeof time, "%02d:%02d", i * 9 / 60, i * 9 % 60);
            std::string text = sentence(rng);
            if (i % 97 == 13) text = topic + "について。" + text;
            r.transcript.push_back(TranscriptLine{attendees[rng() % attendees.size()], time, text});
        }
        return MinutesRecord{uuid::make(), created, "general",
                             "meeting-" + std::to_string(n) + ".m4a", r};
    }
};
