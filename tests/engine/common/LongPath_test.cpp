#include "common/LongPath.h"
#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace teintelle;

namespace {

// Folders of 200-byte names nested in a temporary tree until the path of the
// file at the bottom is longer than PATH_MAX; made with *at calls, as no
// single path can name the bottom.
class DeepFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        top_ = tree_.top();
        bottom_ = top_;
        int at = ::open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const std::string name(200, 'd');
        while (bottom_.size() < PATH_MAX + 500) {
            ASSERT_EQ(::mkdirat(at, name.c_str(), 0755), 0);
            const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(at);
            ASSERT_GE(next, 0);
            at = next;
            bottom_ += "/" + name;
        }
        const int file = ::openat(at, "fond.cube", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ASSERT_EQ(::write(file, "12345", 5), 5);
        ::close(file);
        ::close(at);
    }

    test::TempFolder tree_;
    std::string top_, bottom_;
};

// The size of the file that `where` names, -1 when it names none.
long long sizeAt(const LongPath& where)
{
    struct stat info {};
    if (where.folder() == -1 || ::fstatat(where.folder(), where.name(), &info, 0) != 0)
        return -1;
    return info.st_size;
}

} // namespace

TEST_F(DeepFolder, ALongPathIsReachedFolderByFolder)
{
    const std::string path = bottom_ + "/fond.cube";
    ASSERT_GT(path.size(), std::size_t(PATH_MAX));
    const LongPath where(path);
    EXPECT_NE(where.folder(), AT_FDCWD);
    EXPECT_LT(std::string(where.name()).size(), std::size_t(PATH_MAX));
    EXPECT_EQ(sizeAt(where), 5);

    // Doubled separators change nothing.
    std::string doubled = path;
    doubled.insert(top_.size(), "//");
    EXPECT_EQ(sizeAt(LongPath(doubled)), 5);
}

TEST_F(DeepFolder, PathsOfUsualLengthAreLeftToTheSystem)
{
    const LongPath where(top_);
    EXPECT_EQ(where.folder(), AT_FDCWD);
    EXPECT_EQ(std::string(where.name()), top_);
}

TEST_F(DeepFolder, WhatCannotBeReachedGivesNoFolderAndTheReason)
{
    const struct {
        std::string path;
        int error;
    } cases[] = {
        {bottom_ + "/absent/" + std::string(300, 'x') + "/fond.cube", ENOENT},
        {top_ + "/" + std::string(PATH_MAX + 10, 'n'), ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        errno = 0;
        const LongPath where(c.path);
        if (where.folder() == -1) {
            EXPECT_EQ(errno, c.error) << c.path.size();
        } else { // the walk went through; the last step fails
            EXPECT_EQ(sizeAt(where), -1);
            EXPECT_EQ(errno, c.error);
        }
    }
}
