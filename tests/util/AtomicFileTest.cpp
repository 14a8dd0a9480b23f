#include "util/AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <cstring>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

TEST(AtomicFile, WritesReplacesAndSetsMode) {
    testsupport::TempDir dir;
    const fs::path file = dir / "a.json";
    ASSERT_EQ(atomicfile::write(file, "first", 0600), "");
    ASSERT_EQ(atomicfile::write(file, std::string("sec\0ond", 7), 0640), "");
    EXPECT_EQ(atomicfile::read(file), std::string("sec\0ond", 7));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(atomicfile::read(dir.path()), std::nullopt);
}

TEST(AtomicFile, FailuresLeaveOldContentAndNoTemporaries) {
    testsupport::TempDir dir;
    const fs::path file = dir / "keep.txt";
    ASSERT_EQ(atomicfile::write(file, "old"), "");
    fs::create_directory(dir / "sub");

    // Tests run as root, so permissions would not stop a write: use a file as the folder, a
    // folder in the way of the rename, and a file size limit that fails the write half way.
    EXPECT_THAT(atomicfile::write(file / "x", "new"), HasSubstr(std::strerror(ENOTDIR)));
    EXPECT_THAT(atomicfile::write(dir / "sub", "new"), HasSubstr(std::strerror(EISDIR)));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string tooBig = atomicfile::write(file, "much more than four bytes");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_THAT(tooBig, HasSubstr(std::strerror(EFBIG)));

    EXPECT_EQ(atomicfile::read(file), "old");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
    EXPECT_THAT(names, testing::UnorderedElementsAre("keep.txt", "sub"));
}

}  // namespace
