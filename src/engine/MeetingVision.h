#pragma once
// Participant names read from the window of a video-meeting application while a recording runs.
//
// Every few seconds one pass screenshots the largest meeting window (a meeting client, or a
// browser whose title names a meeting) and reads its text; lines that look like a person's name
// are counted once per screenshot. stop() returns the names seen in at least two screenshots,
// most frequent first.
//
// Passes run on one worker thread, at most one at a time: a tick that finds the previous pass
// still running is skipped, so slow recognition can never pile up. Without an X display (a
// Wayland session without XWayland) start() does nothing and stop() returns an empty list.
#include "engine/VisionBackend.h"
#include "platform/WindowInfo.h"

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

class QTimer;

class MeetingVision : public QObject {
    Q_OBJECT

public:
    using BackendFactory = std::function<std::unique_ptr<VisionBackend>()>;

    static constexpr std::chrono::milliseconds kPassInterval{4000};
    static constexpr int kMaxNames = 20;

    // Reads real X11 windows with Tesseract.
    explicit MeetingVision(QObject* parent = nullptr);
    // `makeBackend` runs on the worker thread at the first pass of a run; `displayAvailable`
    // decides at start() whether there is anything to read.
    MeetingVision(BackendFactory makeBackend, std::function<bool()> displayAvailable,
                  std::chrono::milliseconds interval = kPassInterval, QObject* parent = nullptr);
    ~MeetingVision() override;

    bool isRunning() const;

    // Begins a run: clears the counts, runs one pass at once and then one per interval. Does
    // nothing while a run is active. Main thread only.
    void start();

    // Ends the run and returns the names read in at least two screenshots, highest count first,
    // at most kMaxNames. Results of passes still in flight are dropped. Main thread only.
    std::vector<std::string> stop();

    // One recognised line to a name, or nullopt when it does not look like one.
    static std::optional<std::string> nameCandidate(std::string_view line);

    // The window to read: the largest (first among equals) window of a meeting application, or
    // of a browser with a meeting title, larger than 300 x 200 and not of process `ownPid`.
    static std::optional<WindowInfo> chooseMeetingWindow(const std::vector<WindowInfo>& windows,
                                                         std::int64_t ownPid);

    // Whether a browser window's title names a meeting.
    static bool isMeetingTitle(std::string_view title);

    static const std::vector<std::string>& meetingApps();
    static const std::vector<std::string>& browsers();
    static const std::vector<std::string>& stopwords();

private:
    void tick(std::uint64_t gen);
    void workerLoop();

    BackendFactory makeBackend_;
    std::function<bool()> displayAvailable_;
    std::chrono::milliseconds interval_;
    QTimer* timer_ = nullptr;  // present while a run is active; main thread only

    mutable std::mutex lock_;  // guards everything below
    std::condition_variable wake_;
    bool running_ = false;
    std::uint64_t generation_ = 0;
    bool passInFlight_ = false;
    std::optional<std::uint64_t> job_;  // the generation of a pass waiting for the worker
    bool quit_ = false;
    // Per name, the number of screenshots it was read in; in first-seen order.
    std::vector<std::pair<std::string, int>> counts_;
    std::unordered_map<std::string, std::size_t> countIndex_;
    std::thread worker_;
};
