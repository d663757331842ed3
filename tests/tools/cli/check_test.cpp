// teintelle-cli check run as a separate process.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"
#include "lut/CubeFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace teintelle;
using namespace teintelle::clitest;
using teintelle::test::CubeLines;

namespace {

class CheckCommand : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        return folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    CliRun check(std::vector<std::string> args)
    {
        args.insert(args.begin(), "check");
        return runCli(folder.top(), args);
    }
    fixtures::TempFolder folder;
};

} // namespace

TEST_F(CheckCommand, ReportsEachFileAndExitsOnTheWorst)
{
    const std::string clean = write("propre.cube", CubeLines().text());
    CubeLines tabbed;
    tabbed.data[3] = "0.300000\t0.500000\t0.600000";
    const std::string tabs = write("tabs.cube", tabbed.text());

    const auto good = check({clean});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_EQ(good.out, clean + " : s'applique comme son auteur l'a voulu\n"
                                "  taille 2 ; 8 lignes de données pour 8 attendues (2³)\n");

    const auto mixed = check({clean, tabs, folder.path("absent.cube")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.out.find(tabs + " : s'applique, mais pas comme son auteur l'a voulu\n"
                                    "  taille 2 ; 8 lignes de données pour 8 attendues (2³)\n"
                                    "  - ligne 6 : champs séparés par des tabulations"),
              std::string::npos)
        << mixed.out;
    EXPECT_NE(mixed.out.find(folder.path("absent.cube") + " : aucun fichier\n"), std::string::npos);

    CubeLines noSize;
    noSize.head[1] = "LUT_3D_SIZE 2 ";
    const auto failing = check({write("taille.cube", noSize.text())});
    EXPECT_EQ(failing.status, 1);
    EXPECT_NE(failing.out.find(" : ne s'applique pas : Erreur dans la structure du fichier. Impossible de"
                               " déterminer la taille de la table.\n  taille 0 (le fichier déclare 2)"),
              std::string::npos)
        << failing.out;
}

TEST_F(CheckCommand, UsageErrors)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--frobnicate", "x.cube"}}) {
        const auto run = check(args);
        EXPECT_EQ(run.status, 64);
        EXPECT_NE(run.err.find("usage: teintelle-cli check"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
    const auto help = check({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}
