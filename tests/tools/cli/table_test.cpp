// teintelle-cli table, run as a separate process.
#include "cli/PhotoCli.h"
#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace teintelle::clitest;

namespace {

class TableCommand : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text) { return temp_.write(name, text); }

    // Runs `prefix... teintelle-cli table args...` in the test's folder, with
    // extra environment entries.
    CliRun run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
               const std::vector<std::string>& prefix = {})
    {
        std::vector<std::string> words{"table"};
        words.insert(words.end(), args.begin(), args.end());
        return runCli(folder_, words, environment, prefix);
    }

    teintelle::test::TempFolder temp_;
    fs::path folder_ = temp_.top();
};

const std::string kSizeError = "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.\n";
const std::string kDataError = "Erreur dans la structure du fichier. Impossible de trouver les données de la table.\n";

std::string lines(const std::string& line, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\n";
    return text;
}

// A size-2 file and what the command prints for it.
const std::string kTwo = "TITLE \"two\"\nLUT_3D_SIZE 2\n0.0 0.0 0.0\n0.5 0.0 0.0\n0.0 0.5 0.0\n0.5 0.5 0.0\n"
                         "0.0 0.0 1.0\n1.0 0.0 1.0\n0.0 1.0 1.0\n1.0 1.0 1.0\n";
const std::string kTwoPrinted = "2\n0 0 0\n127 0 0\n0 127 0\n127 127 0\n0 0 255\n255 0 255\n0 255 255\n255 255 255\n";

} // namespace

TEST_F(TableCommand, PrintsTheSizeAndTheEntriesInCubeOrder)
{
    const auto run1 = run({write("two.cube", kTwo)});
    EXPECT_EQ(run1.status, 0);
    EXPECT_EQ(run1.out, kTwoPrinted);
    EXPECT_EQ(run1.err, "");
}

TEST_F(TableCommand, StatusMessagesAndOutputForTheLastFile)
{
    const auto two = write("two.cube", kTwo);
    const auto oneD = write("one-d.cube", "LUT_1D_SIZE 4\n" + lines("0.0 0.0 0.0", 30));
    const auto noData = write("no-data.cube", "LUT_3D_SIZE 9\n" + lines("# comment", 30));
    const auto shortNoSize = write("short.cube", lines("# comment", 5));
    const auto negative = write("negative.cube", "LUT_3D_SIZE -2\n0.0 0.0 0.0\n");
    const auto huge = write("huge.cube", "LUT_3D_SIZE 100000\n0.0 0.0 0.0\n");
    const auto wild = write("wild.cube", "LUT_3D_SIZE 1\n0.0 0.0 1e30\n");
    const auto missing = (folder_ / "missing.cube").string();
    fs::create_directory(folder_ / "folder.cube");
    const auto folder = (folder_ / "folder.cube").string();

    const struct {
        std::vector<std::string> files;
        int status;
        std::string out, err;
    } cases[] = {
        {{oneD}, 1, "0\n", kSizeError},
        {{two, oneD}, 1, "0\n", kSizeError},
        {{two, noData}, 1, "9\n", kDataError}, // N alone, never N^3 lines of another table
        {{shortNoSize}, 2, "0\n", "Index de liste hors limites (5)\n"},
        {{two, negative}, 2, "-2\n", "Erreur de vérification d'étendue\n"},
        {{two, huge}, 2, "100000\n", "Mémoire insuffisante\n"},
        {{two, wild}, 2, "1\n", "Opération en virgule flottante incorrecte\n"},
        {{missing}, 3, "0\n", ""},
        {{two, missing}, 3, kTwoPrinted, ""},
        {{two, folder}, 3, kTwoPrinted, ""},
        {{oneD, two}, 0, kTwoPrinted, kSizeError},
        {{shortNoSize, missing, noData, two}, 0, kTwoPrinted, "Index de liste hors limites (5)\n" + kDataError},
    };
    for (const auto& c : cases) {
        const auto result = run(c.files);
        std::string names;
        for (const auto& file : c.files)
            names += fs::path(file).filename().string() + " ";
        EXPECT_EQ(result.status, c.status) << names;
        EXPECT_EQ(result.out, c.out) << names;
        EXPECT_EQ(result.err, c.err) << names;
    }
}

TEST_F(TableCommand, StateCarriesFromFileToFile)
{
    // A full size-2 table, then a file of the same size with two data lines.
    const auto two = write("two.cube", kTwo);
    const auto partial = write("partial.cube", "LUT_3D_SIZE 2\n0.2 0.2 0.2\n\n");
    const auto result = run({two, partial});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "2\n51 51 51\n0 0 0\n0 127 0\n127 127 0\n0 0 255\n255 0 255\n0 255 255\n255 255 255\n");

    const auto alone = run({partial});
    EXPECT_EQ(alone.out, "2\n51 51 51\n" + lines("0 0 0", 7));
}

TEST_F(TableCommand, UsageErrorsAndHelp)
{
    EXPECT_EQ(run({}).status, 64);
    const auto bogus = run({"--bogus"});
    EXPECT_EQ(bogus.status, 64);
    EXPECT_NE(bogus.err.find("usage: teintelle-cli table"), std::string::npos);
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: teintelle-cli table FILE.cube"), std::string::npos);
    EXPECT_EQ(help.err, "");
    // After "--" a name that starts with "-" is a file.
    write("-two.cube", kTwo); // the command runs in the test's folder
    EXPECT_EQ(run({"--", "-two.cube"}).out, kTwoPrinted);
}

// Run as root, the open would succeed: the command runs as "nobody".
TEST_F(TableCommand, AFileThatCannotBeOpened)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const auto locked = write("locked.cube", kTwo);
    fs::permissions(locked, fs::perms::none);
    const auto result = run({locked}, {}, {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "Impossible d'ouvrir le fichier \"" + locked + "\". Permission denied\n");
    EXPECT_EQ(result.out, "0\n");
}

// A French locale writes one half "0,5"; the files still read "0.5" as one half.
TEST_F(TableCommand, NumbersReadTheSameUnderAFrenchLocale)
{
    const auto locales = folder_ / "locales";
    fs::create_directory(locales);
    const std::string build = "localedef -i fr_FR -f UTF-8 " + (locales / "fr_FR.UTF-8").string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0) << "localedef (Debian package locales) could not make fr_FR.UTF-8";

    // The locale is real and has the decimal comma.
    const std::string locpath = "LOCPATH=" + locales.string();
    ::setenv("LOCPATH", locales.c_str(), 1);
    const char* taken = std::setlocale(LC_ALL, "fr_FR.UTF-8");
    ASSERT_NE(taken, nullptr) << "setlocale did not take fr_FR.UTF-8";
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");

    const auto half = write("half.cube", "LUT_3D_SIZE 1\n0.5 0.25 1.0\n");
    const auto comma = write("comma.cube", "LUT_3D_SIZE 1\n0.5 0,25 1.0\n");
    for (const auto& environment : {std::vector<std::string>{}, {locpath, "LC_ALL=fr_FR.UTF-8"}}) {
        EXPECT_EQ(run({half}, environment).out, "1\n127 63 255\n");
        EXPECT_EQ(run({comma}, environment).out, "1\n127 0 255\n") << "the comma is never a decimal mark";
    }
}
