#include "common/InputFile.h"

#include <gtest/gtest.h>

#include <istream>

#include <fcntl.h>
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
