#include "common/Error.h"
#include "common/LeasedFile.h"
#include "common/TempFolder.h"
#include "lut/CubeFixtures.h"
#include "lut/CubeReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace teintelle;
namespace fs = std::filesystem;

namespace {

class CubeFile : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text) { return temp_.write(name, text); }

    test::TempFolder temp_;
    fs::path folder_ = temp_.top();
};

} // namespace

TEST_F(CubeFile, ReadsAFile)
{
    const auto path = write("grade.cube", test::identityCubeText(5));
    LutTable table;
    std::int32_t taille = 0;
    EXPECT_EQ(loadCubeFile(path, table, taille), CubeStatus::Loaded);
    EXPECT_EQ(taille, 5);
    EXPECT_EQ(table(4, 0, 4).r, 255);
}

TEST_F(CubeFile, NoRegularFileAtThePathChangesNothing)
{
    fs::create_directory(folder_ / "folder.cube");
    ASSERT_EQ(::mkfifo((folder_ / "tube.cube").c_str(), 0644), 0); // opening it would block
    for (const auto& path : {(folder_ / "missing.cube").string(), (folder_ / "folder.cube").string(),
                             (folder_ / "tube.cube").string(), std::string("/dev/zero"), std::string()}) {
        LutTable table;
        std::int32_t taille = 12;
        EXPECT_EQ(loadCubeFile(path, table, taille), CubeStatus::FileMissing) << path;
        EXPECT_EQ(taille, 12);
        EXPECT_EQ(table.taille(), 0);
    }
}

// Run as root, the open would succeed: the case runs in a child process that
// has become the unprivileged user "nobody".
TEST_F(CubeFile, AFileThatCannotBeOpenedRaisesTheOpenError)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const auto path = write("locked.cube", test::identityCubeText(2));
    fs::permissions(path, fs::perms::none);

    const std::string message = test::inChildWithin(10, [&] {
        if (!test::becomeUnprivileged())
            return std::string("could not become nobody");
        try {
            LutTable table;
            std::int32_t taille = 0;
            loadCubeFile(path, table, taille);
        } catch (const Error& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    });
    EXPECT_EQ(message, "returned Impossible d'ouvrir le fichier \"" + path + "\". Permission denied");
}

// Another program's lease on the file: a blocking open would wait for it
// (45 s by default) instead of reporting the file it cannot open yet.
TEST_F(CubeFile, AFileThatWouldMakeTheOpenWaitRaisesTheOpenErrorAtOnce)
{
    const auto path = write("leased.cube", test::identityCubeText(2));
    const test::LeasedFile lease(path);
    ASSERT_TRUE(lease.held());
    const std::string outcome = test::inChildWithin(10, [&] {
        try {
            LutTable table;
            std::int32_t taille = 0;
            loadCubeFile(path, table, taille);
        } catch (const Error& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    });
    EXPECT_EQ(outcome, "returned Impossible d'ouvrir le fichier \"" + path + "\". Resource temporarily unavailable");
}
