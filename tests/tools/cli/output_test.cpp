// What every command that writes a file does when the write fails part-way:
// the file that was there stays as it was, and nothing else is left behind.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace teintelle;
using namespace teintelle::clitest;
using namespace teintelle::fixtures;

namespace {


// Far below the size of every output below: the write fails after its first blocks.
constexpr rlim_t kFileSizeLimit = 4096;

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool builtWithoutQt(const CliRun& run)
{
    return run.err.find("sans Qt") != std::string::npos;
}

} // namespace

TEST(CommandOutput, AWriteThatFailsPartWayKeepsThePreviousFile)
{
    TempFolder folder;
    const std::string photo = folder.write("p.jpg", encodeJpeg({400, 300}));
    const std::string effects = folder.path("effets");
    std::filesystem::create_directory(effects);
    const std::string swap = kSwap;
    for (const char* name : {"effets/a.cube", "effets/b.cube"})
        folder.write(name, swap);

    // Each command line ends with its output file.
    const std::vector<std::string> cases[] = {
        {"decode", photo, "-o", "quart.ppm"},
        {"decode", photo, "-o", "quart.png"},
        {"decode", "--full", photo, "-o", "entiere.ppm"},
        {"apply", folder.path("effets/a.cube"), photo, "-o", "effet.ppm"},
        {"apply", folder.path("effets/a.cube"), photo, "-o", "effet.png"},
        {"sheet", effects, photo, "-o", "planche.png"},
        {"sheet", effects, photo, "-o", "planche.ppm"},
    };
    for (const auto& args : cases) {
        const std::string& out = args.back();
        SCOPED_TRACE(args[0] + " -o " + out);
        const CliRun first = runCli(folder.top(), args);
        if (first.status != 0 && builtWithoutQt(first))
            continue; // PNG and sheets need Qt's GUI module
        ASSERT_EQ(first.status, 0) << first.err;
        const std::string previous = slurp(folder.path(out));
        ASSERT_GT(previous.size(), std::size_t(kFileSizeLimit));
        const auto namesBefore = namesIn(folder.top());

        const CliRun failed = runCli(folder.top(), args, {}, {}, kFileSizeLimit);
        EXPECT_EQ(failed.status, 73) << failed.err;
        EXPECT_NE(failed.err.find(out), std::string::npos) << failed.err;
        EXPECT_TRUE(slurp(folder.path(out)) == previous) << "the previous file is no longer whole";
        EXPECT_EQ(namesIn(folder.top()), namesBefore) << "a temporary file was left behind";
    }
}

// Under `ulimit -f` (here prlimit) the write past the limit would kill the
// command and leave its temporary behind: it reports the failure instead.
TEST(CommandOutput, AFileSizeLimitIsAFailedWriteNotAKill)
{
    TempFolder folder;
    const std::string photo = folder.write("p.jpg", encodeJpeg({400, 300}));
    ASSERT_EQ(runCli(folder.top(), {"decode", photo, "-o", "quart.ppm"}).status, 0);
    const std::string previous = slurp(folder.path("quart.ppm"));
    const auto namesBefore = namesIn(folder.top());

    const std::vector<std::string> limit{"prlimit", "--fsize=" + std::to_string(kFileSizeLimit), "--"};
    const CliRun failed = runCli(folder.top(), {"decode", photo, "-o", "quart.ppm"}, {}, limit);
    EXPECT_EQ(failed.status, 73) << failed.err;
    EXPECT_TRUE(slurp(folder.path("quart.ppm")) == previous);
    EXPECT_EQ(namesIn(folder.top()), namesBefore);
}
