#include "util/Uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Uuid, RandomVersion4UpperCase) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string u = uuid::make();
        ASSERT_TRUE(uuid::isCanonical(u) && u[14] == '4' &&
                    std::string("89AB").find(u[19]) != std::string::npos &&
                    u.find_first_of("abcdef") == std::string::npos)
            << u;
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_TRUE(uuid::isCanonical("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    for (const char* bad :
         {"E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", ""})
        EXPECT_FALSE(uuid::isCanonical(bad)) << bad;
}

}  // namespace
