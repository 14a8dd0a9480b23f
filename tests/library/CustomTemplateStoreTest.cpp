#include <gtest/gtest.h>

#include "library/CustomTemplateStore.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

CustomTemplate make(const std::string& id, const std::string& label = "ラベル") {
    return CustomTemplate{id, label, "説明", "指示"};
}

class CustomTemplateStoreTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UserDefaults defaults{dir / "defaults.json"};
    void storeBytes(const std::string& bytes) {
        defaults.set("customTemplates", DefaultsData{bytes});
    }
};

TEST_F(CustomTemplateStoreTest, LabelsFallBackInOrder) {
    const std::pair<std::string, std::string> table[] = {
        {"sales", "商談メモ"}, {"callmemo", "電話記録"}, {"nope", "議事録"}, {"", "議事録"}};
    for (const auto& [id, label] : table) EXPECT_EQ(templateLabel(id, defaults), label) << id;
    EXPECT_TRUE(CustomTemplateStore::load(defaults).empty());

    // A user template shadows a built-in of the same id.
    ASSERT_TRUE(
        CustomTemplateStore::save({make("sales", "自作"), make("custom-1", "社内")}, defaults));
    EXPECT_EQ(templateLabel("sales", defaults), "自作");
    EXPECT_EQ(templateLabel("custom-1", defaults), "社内");
}

TEST_F(CustomTemplateStoreTest, UndecodableStoreReadsEmptyAndIsKeptOnSave) {
    const std::string bad = R"([{"id":"a","label":"l","detail":"d"}])";
    for (const std::string& bytes : {bad, std::string("not json"), std::string(R"({"id":"a"})")}) {
        storeBytes(bytes);
        EXPECT_TRUE(CustomTemplateStore::load(defaults).empty()) << bytes;
        EXPECT_FALSE(CustomTemplateStore::find("a", defaults)) << bytes;
        EXPECT_EQ(defaults.dataValue("customTemplates")->bytes, bytes);  // untouched by reading
    }

    storeBytes(bad);
    ASSERT_TRUE(CustomTemplateStore::save({make("new")}, defaults));
    EXPECT_EQ(defaults.dataValue("customTemplates.unreadable")->bytes, bad);
    EXPECT_EQ(CustomTemplateStore::load(defaults), std::vector<CustomTemplate>{make("new")});

    // A readable list is simply replaced.
    defaults.remove("customTemplates.unreadable");
    ASSERT_TRUE(CustomTemplateStore::save({}, defaults));
    EXPECT_FALSE(defaults.contains("customTemplates.unreadable"));
    EXPECT_EQ(defaults.dataValue("customTemplates")->bytes, "[]");
}

TEST_F(CustomTemplateStoreTest, KeepsTheFirstTwenty) {
    std::vector<CustomTemplate> many;
    for (int i = 1; i <= 21; ++i) many.push_back(make("custom-" + std::to_string(i)));
    ASSERT_TRUE(CustomTemplateStore::save(many, defaults));
    const auto stored = CustomTemplateStore::load(defaults);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.front().id, "custom-1");
    EXPECT_EQ(stored.back().id, "custom-20");
    EXPECT_FALSE(CustomTemplateStore::find("custom-21", defaults));
    EXPECT_EQ(templateLabel("custom-21", defaults), "議事録");
}

}  // namespace
