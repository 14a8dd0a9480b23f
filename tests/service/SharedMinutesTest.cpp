#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

using Reply = FakeService::Reply;
using Collaborator = TavroAPI::Collaborator;

class SharedMinutesTest : public ServiceFixture {
protected:
    std::string token = fake.issueToken("owner@example.jp");
};

TEST_F(SharedMinutesTest, CreateReadChangeDelete) {
    const std::vector<Collaborator> people = {{"a@example.jp", "viewer"},
                                              {"b@example.jp", "editor"}};
    const auto created = TavroAPI::createSharedMinutes(sample(), people, true, token);
    ASSERT_TRUE(created.publicURL);
    EXPECT_TRUE(created.publicURL->starts_with(fake.baseUrl() + "/shared/"));
    const json::Value stored = *fake.sharedCopy(created.id);
    EXPECT_EQ(MinutesResult::fromJson(stored["result"]), sample());
    EXPECT_EQ(
        json::dumpCompact(stored["collaborators"]),
        R"([{"email":"a@example.jp","role":"viewer"},{"email":"b@example.jp","role":"editor"}])");

    const auto read = TavroAPI::sharedMinutes(created.id, token);
    EXPECT_EQ(read.collaborators, people);
    EXPECT_TRUE(read.isPublic);

    EXPECT_EQ(TavroAPI::updateSharedMinutes(created.id, sample(), {people[0]}, false, token),
              std::nullopt);
    EXPECT_FALSE(TavroAPI::sharedMinutes(created.id, token).isPublic);
    EXPECT_EQ(only("PATCH", "/api/shared-minutes/" + created.id).header("Authorization"),
              "Bearer " + token);

    TavroAPI::deleteSharedMinutes(created.id, token);
    EXPECT_FALSE(fake.sharedCopy(created.id));
    APIError gone = errorOf([&] { TavroAPI::sharedMinutes(created.id, token); });
    EXPECT_EQ(gone.message(), "共有された議事録が見つかりません");
    EXPECT_EQ(gone.httpStatus(), 404);
}

TEST_F(SharedMinutesTest, IdsStayOnePathSegment) {
    const std::pair<const char*, const char*> cases[] = {
        {"sm-1_A.b~c", "sm-1_A.b~c"},
        {"a/b", "a%2Fb"},
        {"x?y#z", "x%3Fy%23z"},
        {"..", "%2E%2E"},
        {".", "%2E"},
        {"../../api/me", "..%2F..%2Fapi%2Fme"},
        {"会議", "%E4%BC%9A%E8%AD%B0"},
        {"a b%", "a%20b%25"},
    };
    for (const auto& [id, encoded] : cases) {
        SCOPED_TRACE(id);
        fake.clearRequests();
        errorOf([&] { TavroAPI::deleteSharedMinutes(id, token); });  // the fake knows no such id
        errorOf([&] { TavroAPI::updateSharedMinutes(id, sample(), {}, false, token); });
        const auto sent = fake.requests();
        ASSERT_EQ(sent.size(), 2u);
        for (const auto& r : sent)
            EXPECT_EQ(r.target, std::string("/api/shared-minutes/") + encoded);
    }
    // An empty id would address the collection itself.
    EXPECT_EQ(errorOf([&] { TavroAPI::deleteSharedMinutes("", token); }).source(),
              APIError::Source::local);
}

TEST_F(SharedMinutesTest, RepliesReadLeniently) {
    fake.script("POST", "/api/shared-minutes", Reply::withJson(200, {{"id", "x"}}));
    EXPECT_EQ(TavroAPI::createSharedMinutes(sample(), {}, true, token).publicURL, std::nullopt);
    fake.script("POST", "/api/shared-minutes", Reply::withJson(200, {{"id", 7}}));
    EXPECT_EQ(errorOf([&] { TavroAPI::createSharedMinutes(sample(), {}, true, token); }).message(),
              "共有設定の作成に失敗しました");

    fake.script("PATCH", "/api/shared-minutes/x", Reply::withJson(200, json::Value::object()));
    EXPECT_EQ(TavroAPI::updateSharedMinutes("x", sample(), {}, true, token), std::nullopt);
    fake.script("PATCH", "/api/shared-minutes/x", Reply::withJson(200, {{"publicToken", "p1"}}));
    EXPECT_EQ(TavroAPI::updateSharedMinutes("x", sample(), {}, true, token),
              fake.baseUrl() + "/shared/p1");

    struct Case {
        Reply reply;
        std::vector<Collaborator> collaborators;
        bool isPublic;
    } cases[] = {
        {Reply::withBody(204, "", "application/json"), {}, false},
        {Reply::withJson(200, {{"collaborators",
                                {{{"email", "a@x"}, {"role", "viewer"}},
                                 {{"email", "b@x"}},
                                 {{"email", "c@x"}, {"role", 1}}}},
                               {"public", true}}),
         {{"a@x", "viewer"}},
         true},
        {Reply::withJson(200, {{"collaborators", {{{"email", "a@x"}, {"role", "viewer"}}, "d@x"}},
                               {"public", "yes"}}),
         {},
         false},
    };
    for (const auto& c : cases) {
        fake.script("GET", "/api/shared-minutes/x", c.reply);
        const auto read = TavroAPI::sharedMinutes("x", token);
        EXPECT_EQ(read.collaborators, c.collaborators);
        EXPECT_EQ(read.isPublic, c.isPublic);
    }
}

}  // namespace
