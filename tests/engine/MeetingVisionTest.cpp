// MeetingVision's rules with a fake window list and a fake screenshot-and-recognition backend.
#include "engine/MeetingVision.h"

#include <gtest/gtest.h>

#include <QTest>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Names = std::vector<std::string>;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(MeetingVisionNames, NameCandidate) {
    const std::string kaDakuten = "\u30AB\u3099";  // one character, two code points
    const std::tuple<const char*, std::string, std::optional<std::string>> cases[] = {
        {"plain name, trimmed", "  Alice Smith \n", "Alice Smith"},
        {"ideographic spaces trimmed", "\u3000山田太郎\u3000", "山田太郎"},
        {"remark in ASCII brackets", "Alice Smith (Host)", "Alice Smith"},
        {"remark in full-width brackets", "山田太郎（ホスト）", "山田太郎"},
        {"removal starts at the leftmost bracket", "Bob (Guest) (me)", "Bob"},
        {"brackets not at the end stay", "Bob (Guest) here", "Bob (Guest) here"},
        {"only a remark", "(Host)", std::nullopt},
        {"Japanese stop word", "ミュート", std::nullopt},
        {"English stop word in capitals", "MUTE", std::nullopt},
        {"hyphenated stop word", "Co-Host", std::nullopt},
        {"full-width digits and colon", "１２：３０", std::nullopt},
        {"digits and separators", "3.14 - 2_0", std::nullopt},
        {"digits within a name", "Guest 01", "Guest 01"},
        {"one character", "A", std::nullopt},
        {"two characters", "Al", "Al"},
        {"20 characters", repeat("a", 20), repeat("a", 20)},
        {"21 characters", repeat("a", 21), std::nullopt},
        {"20 characters of two code points each", repeat(kaDakuten, 20), repeat(kaDakuten, 20)},
        {"at sign", "alice@example.com", std::nullopt},
        {"http", "see http link", std::nullopt},
        {"HTTP in capitals passes", "HTTP Server", "HTTP Server"},
        {"scheme separator", "a://b", std::nullopt},
        {"ampersand", "Q&A", std::nullopt},
        {"square bracket", "Ann [away]", std::nullopt},
    };
    for (const auto& [label, line, expected] : cases)
        EXPECT_EQ(MeetingVision::nameCandidate(line), expected) << label;
}

WindowInfo win(std::uint32_t id, std::string instance, std::string cls, std::string title, int w,
               int h, std::optional<std::int64_t> pid = 4242) {
    return WindowInfo{id, std::move(instance), std::move(cls), std::move(title), w, h, pid};
}

WindowInfo zoom(std::uint32_t id, int w, int h, std::optional<std::int64_t> pid = 4242) {
    return win(id, "zoom", "zoom", "Zoom Meeting", w, h, pid);
}

WindowInfo chrome(std::uint32_t id, std::string title, int w, int h) {
    return win(id, "google-chrome", "Google-chrome", std::move(title), w, h);
}

TEST(MeetingVisionWindows, ChooseMeetingWindow) {
    constexpr std::int64_t ownPid = 1000;
    const std::tuple<const char*, std::vector<WindowInfo>, std::optional<std::uint32_t>> cases[] = {
        {"no windows", {}, std::nullopt},
        {"meeting client", {zoom(1, 1280, 800)}, 1},
        {"300 wide is too narrow", {zoom(1, 300, 400)}, std::nullopt},
        {"200 high is too low", {zoom(1, 400, 200)}, std::nullopt},
        {"just over both limits", {zoom(1, 301, 201)}, 1},
        {"browser titled Zoom", {chrome(2, "ZOOM ミーティング - Google Chrome", 1000, 700)}, 2},
        {"browser titled with the Meet host",
         {win(2, "Navigator", "firefox", "meet.google.com/abc - Mozilla Firefox", 900, 600)},
         2},
        {"browser titled Meet -",
         {win(2, "brave-browser", "Brave-browser", "Meet - abc", 900, 600)},
         2},
        {"browser titled 会議",
         {win(2, "microsoft-edge", "Microsoft-edge", "定例会議", 900, 600)},
         2},
        {"Debian's Firefox ESR", {win(2, "Navigator", "firefox-esr", "Webex", 900, 600)}, 2},
        {"Chromium", {win(2, "chromium", "Chromium", "Microsoft Teams", 900, 600)}, 2},
        {"browser with another title, though larger",
         {chrome(2, "News - Google Chrome", 1920, 1080), zoom(3, 800, 600)},
         3},
        {"unknown application with a meeting title",
         {win(2, "xterm", "XTerm", "zoom", 900, 600)},
         std::nullopt},
        {"window without WM_CLASS", {win(2, "", "", "Zoom Meeting", 900, 600)}, std::nullopt},
        {"equal areas keep the first", {zoom(3, 800, 600), zoom(4, 600, 800)}, 3},
        {"a strictly larger later window wins", {zoom(3, 800, 600), zoom(5, 1024, 768)}, 5},
        {"our own window is excluded", {zoom(6, 1280, 800, ownPid), zoom(7, 400, 300)}, 7},
        {"a window without a pid is read", {zoom(8, 640, 480, std::nullopt)}, 8},
    };
    for (const auto& [label, windows, expected] : cases) {
        const auto chosen = MeetingVision::chooseMeetingWindow(windows, ownPid);
        EXPECT_EQ(chosen ? std::optional(chosen->id) : std::nullopt, expected) << label;
    }
}

// What the fake backend serves, shared with the test thread.
struct Script {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::optional<Names>> passes;  // per pass; nullopt: no meeting window
    std::size_t captures = 0;                  // calls of captureMeetingWindow
    std::size_t next = 0;                      // next pass to serve
    std::optional<std::size_t> holdAt;         // recognition of this pass blocks until cleared
    bool holding = false;
    int active = 0, maxActive = 0;
    int made = 0, destroyed = 0;
    std::set<std::thread::id> threads;

    std::size_t capturesSoFar() {
        std::lock_guard g(m);
        return captures;
    }
};

class FakeBackend : public VisionBackend {
public:
    explicit FakeBackend(std::shared_ptr<Script> s) : s_(std::move(s)) {
        std::lock_guard g(s_->m);
        ++s_->made;
        s_->threads.insert(std::this_thread::get_id());
    }
    ~FakeBackend() override {
        std::lock_guard g(s_->m);
        ++s_->destroyed;
        s_->threads.insert(std::this_thread::get_id());
    }
    std::optional<GrayImage> captureMeetingWindow() override {
        std::lock_guard g(s_->m);
        ++s_->captures;
        s_->threads.insert(std::this_thread::get_id());
        if (s_->next >= s_->passes.size()) return std::nullopt;
        if (!s_->passes[s_->next]) {
            ++s_->next;
            return std::nullopt;
        }
        return GrayImage{1, 1, {0}};
    }
    std::optional<Names> recognizeText(const GrayImage&) override {
        std::unique_lock g(s_->m);
        s_->threads.insert(std::this_thread::get_id());
        s_->maxActive = std::max(s_->maxActive, ++s_->active);
        s_->holding = true;
        s_->cv.wait(g, [&] { return s_->holdAt != s_->next; });
        s_->holding = false;
        --s_->active;
        return s_->passes[s_->next++];
    }

private:
    std::shared_ptr<Script> s_;
};

std::unique_ptr<MeetingVision> makeVision(const std::shared_ptr<Script>& script,
                                          bool display = true) {
    return std::make_unique<MeetingVision>(
        [script] { return std::make_unique<FakeBackend>(script); }, [display] { return display; },
        std::chrono::milliseconds(5));
}

// Runs every scripted pass; the pass after the last one finds no window, by which time the
// last pass has been counted.
Names runAll(std::vector<std::optional<Names>> passes) {
    auto script = std::make_shared<Script>();
    script->passes = std::move(passes);
    auto vision = makeVision(script);
    vision->start();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return script->capturesSoFar() > script->passes.size(); }, 10000));
    return vision->stop();
}

TEST(MeetingVisionCounting, CountsOncePerScreenshotAndKeepsNamesSeenTwice) {
    const std::tuple<const char*, std::vector<std::optional<Names>>, Names> cases[] = {
        {"read twice in one screenshot counts once", {Names{"Ann Lee", "Ann Lee"}}, {}},
        {"read in two screenshots", {Names{"Ann Lee", "Bob"}, Names{"Ann Lee"}}, {"Ann Lee"}},
        {"highest count first",
         {Names{"Ann", "Bob"}, Names{"Bob", "Cid"}, Names{"Bob", "Cid"}, Names{"Ann"},
          Names{"Bob"}},
         {"Bob", "Ann", "Cid"}},
        {"names are cut out of their lines, and lines that are no names dropped",
         {Names{"ミュート", "山田太郎（ホスト）"}, Names{"ミュート", "  山田太郎 "}},
         {"山田太郎"}},
        {"passes without a window count nothing",
         {std::nullopt, Names{"Ann"}, std::nullopt, Names{"Ann"}},
         {"Ann"}},
        {"a failed recognition counts nothing", {Names{"Ann"}, std::nullopt}, {}},
    };
    for (const auto& [label, passes, expected] : cases)
        EXPECT_EQ(runAll(passes), expected) << label;
}

TEST(MeetingVisionCounting, ReturnsTheTwentyMostFrequentOfTwentyFive) {
    // Guest i is read in screenshots 0 .. i+1, so its count is i + 2.
    std::vector<std::optional<Names>> passes(26);
    for (int i = 0; i < 25; ++i)
        for (int p = 0; p <= i + 1; ++p) {
            if (!passes[p]) passes[p].emplace();
            passes[p]->push_back("Guest " + std::to_string(100 + i));
        }
    Names expected;
    for (int i = 24; i >= 5; --i) expected.push_back("Guest " + std::to_string(100 + i));
    EXPECT_EQ(runAll(passes), expected);
}

TEST(MeetingVisionCounting, AtMostOnePassRunsAndLateResultsAreDropped) {
    auto script = std::make_shared<Script>();
    script->passes = {Names{"Ann"}, Names{"Ann"}, Names{"Ann"}};
    auto vision = makeVision(script);

    // Pass 1 completes; pass 2 hangs in recognition while many ticks go by.
    script->holdAt = 1;
    vision->start();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard g(script->m);
        return script->holding;
    }));
    QTest::qWait(100);  // twenty intervals
    {
        std::lock_guard g(script->m);
        EXPECT_EQ(script->maxActive, 1);
        EXPECT_EQ(script->captures, 2u) << "ticks during a running pass must be skipped";
    }

    // Stopping now drops pass 2: Ann was counted once.
    EXPECT_EQ(vision->stop(), Names{});
    EXPECT_FALSE(vision->isRunning());

    // A new run begins while the old pass is still out; its result belongs to no run.
    vision->start();
    {
        std::lock_guard g(script->m);
        script->holdAt.reset();
    }
    script->cv.notify_all();
    // Pass 3 is the new run's first; had the late result counted, Ann would have two.
    ASSERT_TRUE(QTest::qWaitFor([&] { return script->capturesSoFar() >= 4; }));
    EXPECT_EQ(vision->stop(), Names{});
}

// A second start() neither clears the count nor makes a second backend; the backend lives and
// dies on one worker thread.
TEST(MeetingVisionCounting, StartWhileRunningKeepsTheRunAndItsBackend) {
    auto script = std::make_shared<Script>();
    script->passes = {Names{"Ann"}, Names{"Ann"}};
    auto vision = makeVision(script);
    vision->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return script->capturesSoFar() >= 2; }));
    vision->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return script->capturesSoFar() >= 3; }));
    EXPECT_EQ(vision->stop(), Names{"Ann"});
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard g(script->m);
        return script->destroyed == 1;
    }));
    std::lock_guard g(script->m);
    EXPECT_EQ(script->made, 1);
    EXPECT_EQ(script->threads.size(), 1u);
    EXPECT_EQ(script->threads.count(std::this_thread::get_id()), 0u);
}

TEST(MeetingVisionCounting, WithoutADisplayStartDoesNothing) {
    auto script = std::make_shared<Script>();
    script->passes = {Names{"Ann"}, Names{"Ann"}};
    auto vision = makeVision(script, /*display=*/false);
    vision->start();
    EXPECT_FALSE(vision->isRunning());
    QTest::qWait(30);
    EXPECT_EQ(vision->stop(), Names{});
    std::lock_guard g(script->m);
    EXPECT_EQ(script->made, 0);
}

}  // namespace
