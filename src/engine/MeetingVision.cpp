#include "engine/MeetingVision.h"

#include "engine/MeetingWindowClasses.h"
#include "engine/X11VisionBackend.h"
#include "platform/WindowCapture.h"
#include "util/Text.h"

#include <QTimer>

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <set>

namespace {

bool contains(const std::vector<std::string>& table, std::string_view s) {
    return std::find(table.begin(), table.end(), s) != table.end();
}

// Compiled once; matchers made from it are per call, so the name test is thread-safe.
const icu::RegexPattern* compile(const char* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    icu::RegexPattern* p =
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, status);
    return U_SUCCESS(status) ? p : nullptr;
}

// A trailing bracketed remark such as " (Host)" or "（ゲスト）"; either kind of parenthesis may
// close either kind.
const icu::RegexPattern& trailingRemark() {
    static const icu::RegexPattern* p = compile(R"(\s*[\(（].*?[\)）]\s*$)");
    return *p;
}

// Clock times, dates, counters: nothing but digits (any script's) and separators.
const icu::RegexPattern& digitsOnly() {
    static const icu::RegexPattern* p = compile(R"(^[\d\s:：/._-]+$)");
    return *p;
}

}  // namespace

const std::vector<std::string>& MeetingVision::meetingApps() {
    static const std::vector<std::string> table{
        "us.zoom.xos", "com.microsoft.teams", "com.microsoft.teams2", "com.cisco.webexmeetingsapp",
        "com.webex.meetingmanager"};
    return table;
}

const std::vector<std::string>& MeetingVision::browsers() {
    static const std::vector<std::string> table{
        "com.google.Chrome",     "com.apple.Safari",           "com.brave.Browser",
        "com.microsoft.edgemac", "company.thebrowser.Browser", "org.mozilla.firefox"};
    return table;
}

const std::vector<std::string>& MeetingVision::stopwords() {
    static const std::vector<std::string> table{
        // Japanese
        "ミュート", "ミュート解除", "参加者", "チャット", "画面を共有", "共有", "退出",
        "会議を退出", "録画", "レコーディング", "リアクション", "詳細", "設定", "ビデオの開始",
        "ビデオの停止", "スピーカービュー", "ギャラリービュー", "手を挙げる", "ホスト",
        "共同ホスト", "あなた",
        // English, lower case
        "mute", "unmute", "participants", "chat", "share", "share screen", "leave", "leave meeting",
        "record", "recording", "reactions", "more", "settings", "start video", "stop video",
        "speaker view", "gallery view", "raise hand", "host", "co-host", "you", "present now",
        "turn on captions", "people", "info", "meeting details"};
    return table;
}

bool MeetingVision::isMeetingTitle(std::string_view title) {
    static const char* const words[] = {"meet.google.com", "google meet", "meet -", "zoom",
                                        "teams",           "webex",       "会議"};
    const std::string lower = text::lower(title);
    return std::any_of(std::begin(words), std::end(words),
                       [&](const char* w) { return lower.find(w) != std::string::npos; });
}

std::optional<std::string> MeetingVision::nameCandidate(std::string_view line) {
    UErrorCode status = U_ZERO_ERROR;
    const std::string trimmed = text::trim(line);
    // A matcher refers to its input, which therefore must outlive it.
    const icu::UnicodeString input = icu::UnicodeString::fromUTF8(trimmed);
    std::unique_ptr<icu::RegexMatcher> remark(trailingRemark().matcher(input, status));
    if (U_FAILURE(status)) return std::nullopt;
    const icu::UnicodeString stripped = remark->replaceFirst(icu::UnicodeString(), status);
    if (U_FAILURE(status)) return std::nullopt;
    std::string utf8;
    stripped.toUTF8String(utf8);
    const std::string name = text::trim(utf8);

    const std::size_t length = text::graphemeCount(name);
    if (length < 2 || length > 20) return std::nullopt;
    if (contains(stopwords(), name) || contains(stopwords(), text::lower(name)))
        return std::nullopt;
    const icu::UnicodeString nameText = icu::UnicodeString::fromUTF8(name);
    std::unique_ptr<icu::RegexMatcher> digits(digitsOnly().matcher(nameText, status));
    if (U_FAILURE(status) || digits->matches(status)) return std::nullopt;
    for (const char* marker : {"http", "@", "://"})
        if (name.find(marker) != std::string::npos) return std::nullopt;
    if (name.find_first_of("!?#$%&*<>|=+[]{}") != std::string::npos) return std::nullopt;
    return name;
}

std::optional<WindowInfo> MeetingVision::chooseMeetingWindow(const std::vector<WindowInfo>& windows,
                                                             std::int64_t ownPid) {
    const WindowInfo* chosen = nullptr;
    for (const WindowInfo& w : windows) {
        const auto bundle = bundleIdForWindowClass(w.wmInstance, w.wmClass);
        if (!bundle) continue;
        if (w.pid && *w.pid == ownPid) continue;
        if (!(w.width > 300 && w.height > 200)) continue;
        const bool meeting = contains(meetingApps(), *bundle) ||
                             (contains(browsers(), *bundle) && isMeetingTitle(w.title));
        if (!meeting) continue;
        // Equal areas keep the earlier window: the list runs topmost first.
        if (!chosen ||
            std::int64_t(w.width) * w.height > std::int64_t(chosen->width) * chosen->height)
            chosen = &w;
    }
    if (!chosen) return std::nullopt;
    return *chosen;
}

MeetingVision::MeetingVision(QObject* parent)
    : MeetingVision([] { return std::make_unique<X11VisionBackend>(); },
                    &WindowCapture::displayAvailable, kPassInterval, parent) {}

MeetingVision::MeetingVision(BackendFactory makeBackend, std::function<bool()> displayAvailable,
                             std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent),
      makeBackend_(std::move(makeBackend)),
      displayAvailable_(std::move(displayAvailable)),
      interval_(interval) {}

MeetingVision::~MeetingVision() {
    {
        std::lock_guard guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    // Waits for a pass in flight, at most one.
    if (worker_.joinable()) worker_.join();
}

bool MeetingVision::isRunning() const {
    std::lock_guard guard(lock_);
    return running_;
}

void MeetingVision::start() {
    if (!displayAvailable_()) return;
    if (timer_) return;  // the run in progress continues unchanged
    std::uint64_t gen;
    {
        std::lock_guard guard(lock_);
        counts_.clear();
        countIndex_.clear();
        gen = ++generation_;
        running_ = true;
    }
    if (!worker_.joinable()) worker_ = std::thread([this] { workerLoop(); });
    tick(gen);
    timer_ = new QTimer(this);
    timer_->setInterval(interval_);
    connect(timer_, &QTimer::timeout, this, [this, gen] { tick(gen); });
    timer_->start();
}

std::vector<std::string> MeetingVision::stop() {
    if (timer_) {
        timer_->stop();
        delete timer_;
        timer_ = nullptr;
    }
    std::vector<std::pair<std::string, int>> seen;
    {
        std::lock_guard guard(lock_);
        running_ = false;
        ++generation_;  // passes in flight now carry an old generation
        for (auto& entry : counts_)
            if (entry.second >= 2) seen.push_back(std::move(entry));
        counts_.clear();
        countIndex_.clear();
    }
    wake_.notify_all();  // lets the worker release the backend
    std::stable_sort(seen.begin(), seen.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> names;
    for (auto& entry : seen) {
        if (int(names.size()) == kMaxNames) break;
        names.push_back(std::move(entry.first));
    }
    return names;
}

void MeetingVision::tick(std::uint64_t gen) {
    {
        std::lock_guard guard(lock_);
        if (!running_ || gen != generation_ || passInFlight_) return;
        passInFlight_ = true;
        job_ = gen;
    }
    wake_.notify_all();
}

void MeetingVision::workerLoop() {
    // The backend (Tesseract engine, X connection) lives only on this thread, for one run.
    std::unique_ptr<VisionBackend> backend;
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] { return quit_ || job_ || (!running_ && backend); });
        if (quit_) break;
        if (!job_) {
            guard.unlock();
            backend.reset();
            guard.lock();
            continue;
        }
        const std::uint64_t gen = *job_;
        job_.reset();
        guard.unlock();

        if (!backend && makeBackend_) backend = makeBackend_();
        std::optional<std::vector<std::string>> names;
        if (backend) {
            if (auto image = backend->captureMeetingWindow()) {
                if (auto lines = backend->recognizeText(*image)) {
                    names.emplace();
                    for (const std::string& line : *lines)
                        if (auto name = nameCandidate(line)) names->push_back(std::move(*name));
                }
            }
        }

        guard.lock();
        passInFlight_ = false;
        if (names && gen == generation_) {
            // One count per screenshot, however often a name appears in it.
            std::set<std::string> distinct(names->begin(), names->end());
            for (const std::string& name : distinct) {
                auto [it, inserted] = countIndex_.try_emplace(name, counts_.size());
                if (inserted) counts_.emplace_back(name, 0);
                ++counts_[it->second].second;
            }
        }
    }
    guard.unlock();
    backend.reset();
}
