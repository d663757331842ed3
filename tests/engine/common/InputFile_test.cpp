#include "common/InputFile.h"

#include <gtest/gtest.h>

#include <istream>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace teintelle;

// A file that has nothing to give yet (a pipe here, /proc/kmsg for a file
// that looks regular) must make the stream fail, not end: the readers then
// report a read error instead of a short file, and never wait.
TEST(InputFileBuffer, AReadThatWouldWaitFailsWhileTheEndOfTheFileJustEnds)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    InputFileBuffer waiting{FileDescriptor(ends[0])};
    std::istream nothingYet(&waiting);
    char bytes[4];
    nothingYet.read(bytes, sizeof bytes);
    EXPECT_TRUE(nothingYet.bad());
    ::close(ends[1]);

    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    ASSERT_EQ(::write(ends[1], "ab", 2), 2);
    ::close(ends[1]);
    InputFileBuffer ended{FileDescriptor(ends[0])};
    std::istream twoBytes(&ended);
    twoBytes.read(bytes, sizeof bytes);
    EXPECT_EQ(twoBytes.gcount(), 2);
    EXPECT_TRUE(twoBytes.eof());
    EXPECT_FALSE(twoBytes.bad());
}

TEST(openInputFile, NeitherBlocksNorLeaksIntoChildProgramsNorTakesATerminal)
{
    const FileDescriptor file = openInputFile("/dev/null");
    ASSERT_TRUE(file.isOpen());
    EXPECT_NE(::fcntl(file.get(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(file.get(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_FALSE(isRegularFile(file.get()));
}

// The test before opening: a regular file, through a link too, and nothing
// else; by a plain path or relative to a folder's descriptor.
TEST(namesRegularFile, OnlyARegularFileLinksFollowed)
{
    char folder[] = "/tmp/teintelle-names-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string base = folder;
    const int file = ::open((base + "/file").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
    ASSERT_EQ(::symlink("file", (base + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (base + "/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((base + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((base + "/sub").c_str(), 0700), 0);
    const struct {
        const char* name;
        bool regular;
    } cases[] = {{"file", true}, {"link", true}, {"dangling", false}, {"fifo", false}, {"sub", false}, {"missing", false}};
    const FileDescriptor at(::open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(at.isOpen());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(namesRegularFile(base + "/" + c.name), c.regular);
        EXPECT_EQ(namesRegularFile(at.get(), c.name), c.regular);
    }
    EXPECT_FALSE(namesRegularFile("/dev/null"));
    for (const char* name : {"file", "link", "dangling", "fifo"})
        ::unlink((base + "/" + name).c_str());
    ::rmdir((base + "/sub").c_str());
    ::rmdir(folder);
}

TEST(FileDescriptor, ResetClosesAtOnceAndMovingHandsTheDescriptorOn)
{
    FileDescriptor file = openInputFile("/dev/null");
    ASSERT_TRUE(file.isOpen());
    const int fd = file.get();
    FileDescriptor moved = std::move(file);
    EXPECT_EQ(moved.get(), fd);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    moved.reset();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "closed by reset";
}
