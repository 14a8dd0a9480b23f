#include "ServiceFixture.h"
#include "service/TavroAPI.h"

namespace {

using Collaborator = TavroAPI::Collaborator;

class SharedMinutesTest : public ServiceFixture {
protected:
    std::string token = fake.issueToken("owner@example.jp");
};

TEST_F(SharedMinutesTest, CreateReadChangeDelete) {
    const std::vector<Collaborator> people = {{"a@example.jp", "viewer"},
                                              {"b@example.jp", "editor"}};
    const auto created = TavroAPI::createSharedMinutes(sample(), people, true, token);
    EXPECT_EQ(created.publicURL.value_or("").rfind(fake.baseUrl() + "/shared/", 0), 0u);
    EXPECT_EQ(MinutesResult::fromJson((*fake.sharedCopy(created.id))["result"]), sample());
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
    EXPECT_EQ(errorOf([&] { TavroAPI::sharedMinutes(created.id, token); }).httpStatus(), 404);
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
    fake.script("PATCH", "/api/shared-minutes/x", Reply::withJson(200, {{"publicToken", "p1"}}));
    EXPECT_EQ(TavroAPI::updateSharedMinutes("x", sample(), {}, true, token),
              fake.baseUrl() + "/shared/p1");

    // Entries without a text role are skipped; a list holding a non-object counts as none.
    const std::tuple<const char*, std::vector<Collaborator>, bool> cases[] = {
        {R"({"collaborators":[{"email":"a","role":"v"},{"email":"c","role":1}],"public":true})",
         {{"a", "v"}},
         true},
        {R"({"collaborators":[{"email":"a","role":"v"},"d"],"public":"yes"})", {}, false},
    };
    for (const auto& [body, collaborators, isPublic] : cases) {
        fake.script("GET", "/api/shared-minutes/x", Reply::withBody(200, body, "application/json"));
        const auto read = TavroAPI::sharedMinutes("x", token);
        EXPECT_EQ(read.collaborators, collaborators) << body;
        EXPECT_EQ(read.isPublic, isPublic) << body;
    }
}

}  // namespace
