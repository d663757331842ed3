#include "common/OutputFile.h"

#include "settings/SettingsTestFiles.h"
#include "common/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace teintelle;
using teintelle::testing::FileTest;
using teintelle::testing::namesIn;
using teintelle::testing::permissionsOf;
using teintelle::testing::readFile;
using teintelle::testing::runAsUnprivilegedUser;
using teintelle::testing::writeFile;

namespace {

class OutputFileTest : public FileTest {
protected:
    void write(OutputFile& out, const std::string& bytes) { out.write(bytes.data(), bytes.size()); }
};

// The name of the one temporary file in folder beside `name`, empty when
// there is none.
std::string temporaryBeside(const std::string& folder, const std::string& name)
{
    std::string found;
    for (const std::string& entry : namesIn(folder))
        if (entry.rfind("." + name + ".", 0) == 0 && entry.size() == name.size() + 13
            && entry.substr(entry.size() - 5) == ".part")
            found = entry;
    return found;
}

} // namespace

TEST_F(OutputFileTest, CommitPutsTheNewFileInPlaceWithTheOldMode)
{
    const std::string folder = makeFolder("out");
    const std::string path = folder + "/image.ppm";
    writeFile(path, "old bytes", 0640);
    {
        OutputFile out(path);
        write(out, "new ");
        write(out, "bytes, longer");
        // Until the commit the old file is whole, and the new bytes wait beside it.
        EXPECT_EQ(readFile(path), "old bytes");
        const std::string temporary = temporaryBeside(folder, "image.ppm");
        ASSERT_NE(temporary, "");
        EXPECT_EQ(permissionsOf(folder + "/" + temporary), 0600u) << "private until committed";
        out.commit();
    }
    EXPECT_EQ(readFile(path), "new bytes, longer");
    EXPECT_EQ(permissionsOf(path), 0640u);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"image.ppm"});
}

TEST_F(OutputFileTest, ANewFileGetsTheModeOfAPlainCreation)
{
    const std::string folder = makeFolder("out");
    const mode_t previous = ::umask(027);
    {
        OutputFile out(folder + "/new.png");
        write(out, "png");
        out.commit();
    }
    ::umask(previous);
    EXPECT_EQ(readFile(folder + "/new.png"), "png");
    EXPECT_EQ(permissionsOf(folder + "/new.png"), 0640u);
}

TEST_F(OutputFileTest, WithoutCommitNothingChanges)
{
    const std::string folder = makeFolder("out");
    writeFile(folder + "/kept.ppm", "old bytes");
    {
        OutputFile replacing(folder + "/kept.ppm");
        write(replacing, "half of the new");
        OutputFile creating(folder + "/never.ppm");
        write(creating, "half of the new");
    }
    EXPECT_EQ(readFile(folder + "/kept.ppm"), "old bytes");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"kept.ppm"});
}

TEST_F(OutputFileTest, ALinkLeadsToTheFileItReplaces)
{
    const std::string folder = makeFolder("out");
    writeFile(folder + "/real.ppm", "old");
    ASSERT_EQ(::symlink("real.ppm", (folder + "/link.ppm").c_str()), 0);
    {
        OutputFile out(folder + "/link.ppm");
        write(out, "new");
        out.commit();
    }
    struct stat info {};
    ASSERT_EQ(::lstat((folder + "/link.ppm").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readFile(folder + "/real.ppm"), "new");
}

// A pipe (as /dev/stdout often is) has nothing to keep: it is written as it
// stands, and stays a pipe.
TEST_F(OutputFileTest, WhatIsNoFileIsWrittenDirectly)
{
    const std::string folder = makeFolder("out");
    const std::string fifo = folder + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    {
        OutputFile out(fifo);
        write(out, "through");
        out.commit();
    }
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    ::close(reader);
    EXPECT_EQ(std::string(got), "through");
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"pipe"});
}

// Run as "nobody" when the tests run as root, so that permissions apply.
TEST_F(OutputFileTest, AFolderOrFileWeMayNotWriteIsRefusedAndLeftAlone)
{
    const std::string closed = makeFolder("closed");
    writeFile(closed + "/old.ppm", "old", 0666);
    ::chmod(closed.c_str(), 0555);
    const std::string open = makeFolder("open", 0777);
    writeFile(open + "/locked.ppm", "old", 0444);
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {closed + "/old.ppm", "Permission denied"},
        {closed + "/new.ppm", "Permission denied"},
        {open + "/locked.ppm", "Permission denied"},
        {open + "/missing/new.ppm", "No such file or directory"},
        {open + "/", "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto run = runAsUnprivilegedUser([&] {
            try {
                OutputFile out(c.path);
                out.write("new", 3);
                out.commit();
                return 0;
            } catch (const Error& error) {
                std::fputs(error.what(), stdout);
                std::fflush(stdout);
                return 1;
            }
        });
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.output, "Impossible d'écrire le fichier \"" + c.path + "\". " + c.reason);
    }
    EXPECT_EQ(readFile(closed + "/old.ppm"), "old");
    EXPECT_EQ(readFile(open + "/locked.ppm"), "old");
    EXPECT_EQ(namesIn(closed), std::vector<std::string>{"old.ppm"});
    EXPECT_EQ(namesIn(open), std::vector<std::string>{"locked.ppm"});
}
