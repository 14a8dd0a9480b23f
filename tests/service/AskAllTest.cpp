#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

class AskAllTest : public ServiceFixture {
protected:
    static MinutesRecord record(int n, std::vector<TranscriptLine> lines = {}) {
        MinutesRecord r;
        r.id = "REC-" + std::to_string(n);
        r.createdAt = Timestamp{} + std::chrono::seconds(1714555800);
        r.result.title = "会議" + std::to_string(n);
        r.result.transcript = std::move(lines);
        return r;
    }

    // Bytes a meeting's transcript is charged against its budget.
    static std::int64_t charged(const json::Value& meeting) {
        std::int64_t total = 0;
        for (const auto& line : meeting["transcript"])
            total += static_cast<std::int64_t>(json::requireString(line, "speaker").size() +
                                               json::requireString(line, "time").size() +
                                               json::requireString(line, "text").size() + 24);
        return total;
    }
};

TEST_F(AskAllTest, TranscriptBudgetSharedByAtMostAHundredMeetings) {
    const TranscriptLine longLine{"佐藤", "00:01", std::string(2000 * 3, 'x')};
    const struct {
        std::size_t records, sent;
        std::int64_t budget;
    } cases[] = {{1, 1, 700000}, {100, 100, 7000}, {150, 100, 7000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.records);
        const std::size_t linesEach = static_cast<std::size_t>(c.budget / 6000 + 2);
        std::vector<MinutesRecord> records;
        for (std::size_t i = 0; i < c.records; ++i)
            records.push_back(record(static_cast<int>(i), std::vector(linesEach, longLine)));
        const json::Value meetings = TavroAPI::makeAskAllMeetings(records);
        ASSERT_EQ(meetings.size(), c.sent);
        for (const auto& m : meetings) {
            EXPECT_LE(charged(m), c.budget);
            EXPECT_GT(charged(m), c.budget - 35);  // only the last line's overhead is left over
        }
        EXPECT_EQ(json::requireString(meetings.back(), "id"), records[c.sent - 1].id);
    }
}

TEST_F(AskAllTest, MeetingFieldsAreCut) {
    const std::string accented = "e\xCC\x81\xCC\x82\xCC\x83";  // one 7-byte character
    std::string title;
    for (int i = 0; i < 200; ++i) title += accented;
    MinutesRecord r = record(1, {{"A", std::nullopt, "発言"}});
    r.result.title = title;
    r.result.meta = MinutesMeta{};
    r.result.meta->attendees = std::vector<std::string>(80, std::string(400, 'n'));
    const json::Value m = TavroAPI::makeAskAllMeetings({r, record(2)})[0];

    EXPECT_EQ(json::requireString(m, "title").size(), 896u);  // 128 whole characters
    EXPECT_EQ(json::requireString(m, "date"), "2024-05-01T09:30:00Z");
    const auto attendees = json::requireStringArray(m, "participants");
    EXPECT_EQ(attendees.size(), 50u);
    EXPECT_EQ(attendees[0], std::string(300, 'n'));
    EXPECT_EQ(m["transcript"][0], (json::Value{{"speaker", "A"}, {"time", ""}, {"text", "発言"}}));
    const json::Value noMeta = TavroAPI::makeAskAllMeetings({record(3)})[0];
    EXPECT_EQ(noMeta["participants"], json::Value::array());
}

TEST_F(AskAllTest, LineRules) {
    // 100 records: 7000 bytes each.
    std::vector<MinutesRecord> records(99, record(0));
    records.insert(records.begin(),
                   record(1, {
                                 {"A", std::nullopt, ""},                       // empty: free
                                 {"A", std::nullopt, std::string(10000, 'a')},  // cut to 6000
                                 {"B", std::nullopt, std::string(920, 'b')},    // 30 bytes left
                                 {"長い名前", "00:00:00", "skipped whole"},     // 44 > 30
                                 {"C", std::nullopt, "abcdefgh"},               // room 5
                                 {"D", std::nullopt, "after the budget"},
                             }));
    const json::Value transcript = TavroAPI::makeAskAllMeetings(records)[0]["transcript"];
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(json::requireString(transcript[0], "text").size(), 6000u);
    EXPECT_EQ(json::requireString(transcript[1], "text").size(), 920u);
    EXPECT_EQ(transcript[2], (json::Value{{"speaker", "C"}, {"time", ""}, {"text", "abcde"}}));

    // A cut inside a line never splits a character: 3-byte characters, 5 bytes of room.
    std::vector<TranscriptLine> lines(records[0].result.transcript.begin(),
                                      records[0].result.transcript.end());
    lines[4].text = "あいう";
    records[0].result.transcript = lines;
    const json::Value cut = TavroAPI::makeAskAllMeetings(records)[0]["transcript"];
    EXPECT_EQ(json::requireString(cut[2], "text"), "あ");
}

TEST_F(AskAllTest, AskAcrossRecords) {
    const std::string token = fake.issueToken("a@example.jp");
    const auto answer =
        TavroAPI::askAll("公開日は？", {record(1, {{"A", "00:00", "1月15日"}})}, token);
    EXPECT_EQ(answer.refs, (std::vector<json::Value>{{{"meetingId", "REC-1"}, {"line", 0}}}));
    EXPECT_EQ(only("POST", "/api/ask-all").header("Authorization"), "Bearer " + token);
    // Nothing to ask about: nothing is sent.
    EXPECT_EQ(errorOf([&] { TavroAPI::askAll("q", {}, token); }).source(), APIError::Source::local);
    EXPECT_EQ(fake.requests().size(), 1u);
}

// A reference nesting 100,000 arrays deep once overflowed the stack of the service thread.
TEST_F(AskAllTest, AReplyNestedDeeperThanTheContractIsRefused) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string body = R"({"answer":"a","refs":[{"meetingId":"REC-1","x":)" + deep + "}]}";
    fake.script("POST", "/api/ask-all", Reply::withBody(200, body, "application/json"));
    EXPECT_EQ(errorOf([&] { TavroAPI::askAll("q", {record(1)}, fake.issueToken("a@b.jp")); }),
              APIError::service(APIError::kUnreadableReply, 200));
}

}  // namespace
