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
};

// Built-in labels, the default for unknown ids, and user templates shadowing built-ins.
TEST_F(CustomTemplateStoreTest, LabelsFallBackInOrder) {
    EXPECT_EQ(templateLabel("callmemo", defaults), "電話記録");
    EXPECT_EQ(templateLabel("nope", defaults), "議事録");
    ASSERT_TRUE(
        CustomTemplateStore::save({make("sales", "自作"), make("custom-1", "社内")}, defaults));
    EXPECT_EQ(templateLabel("sales", defaults), "自作");
    EXPECT_EQ(templateLabel("custom-1", defaults), "社内");
}

TEST_F(CustomTemplateStoreTest, UndecodableStoreReadsEmptyAndIsKeptOnSave) {
    const std::string bad = R"([{"id":"a","label":"l","detail":"d"}])";
    for (const std::string& bytes : {std::string("not json"), bad}) {
        defaults.set("customTemplates", DefaultsData{bytes});
        EXPECT_TRUE(CustomTemplateStore::load(defaults).empty()) << bytes;
        EXPECT_EQ(defaults.dataValue("customTemplates")->bytes, bytes);  // untouched by reading
    }
    ASSERT_TRUE(CustomTemplateStore::save({make("new")}, defaults));
    EXPECT_EQ(defaults.dataValue("customTemplates.unreadable")->bytes, bad);
    EXPECT_EQ(CustomTemplateStore::load(defaults), std::vector<CustomTemplate>{make("new")});
}

TEST_F(CustomTemplateStoreTest, KeepsTheFirstTwenty) {
    std::vector<CustomTemplate> many;
    for (int i = 1; i <= 21; ++i) many.push_back(make("custom-" + std::to_string(i)));
    ASSERT_TRUE(CustomTemplateStore::save(many, defaults));
    const auto stored = CustomTemplateStore::load(defaults);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.back().id, "custom-20");
}

}  // namespace
