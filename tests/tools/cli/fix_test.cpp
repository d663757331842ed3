// teintelle-cli fix run as a separate process: copies written beside the
// originals, read by check and by the window's reader as their authors meant.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"
#include "lut/CubeCheck.h"
#include "lut/CubeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace teintelle;
using namespace teintelle::clitest;
using teintelle::test::CubeLines;

namespace {

class FixCommand : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        return folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    CliRun fix(std::vector<std::string> args)
    {
        args.insert(args.begin(), "fix");
        return runCli(folder.top(), args);
    }
    fixtures::TempFolder folder;
};

} // namespace

TEST_F(FixCommand, AFolderOfCopiesWithOneBadFileAmongThem)
{
    CubeLines integers;
    integers.data[0] = "0 0.500000 0.900000";
    CubeLines tabs;
    tabs.data[3] = "0.300000\t0.500000\t0.600000";
    CubeLines resolve; // a shaper, then the 3D table
    resolve.head = {"LUT_1D_SIZE 2", "LUT_3D_SIZE 2", "0 0 0", "1 1 1"};
    const std::vector<std::string> files = {write("entiers.cube", integers.text()), write("tabs.cube", tabs.text()),
                                            write("court.cube", "LUT_3D_SIZE 2\n0 0 0\n"),
                                            write("resolve.cube", resolve.text())};
    const std::string out = folder.path("copies");

    const auto run = fix({files[0], files[1], files[2], files[3], "-o", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, files[0] + " -> " + out + "/entiers.cube : taille 2 ; corrigé : le début des données\n" +
                           files[1] + " -> " + out + "/tabs.cube : taille 2 ; corrigé : les séparateurs\n" + files[3] +
                           " -> " + out + "/resolve.cube : taille 2 ; corrigé : la table 1D d'entrée, le début des"
                                          " données, le nombre de lignes de données\n");
    EXPECT_EQ(run.err, "teintelle-cli fix: " + files[2] + " : ligne 2 : fin du fichier après 1 entrée : le fichier en"
                                                          " déclare 8 entrées 3D (2³)\n");
    for (const char* name : {"entiers.cube", "tabs.cube", "resolve.cube"}) {
        const CubeCheck check = checkCubeFile(out + "/" + name);
        EXPECT_TRUE(check.asMeant()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(out + "/court.cube"));
    // Nothing but the copies: no temporary left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 3);

    // Again: every copy is there, and is replaced only with --force.
    const auto again = fix({files[0], "-o", out});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("existe déjà (--force pour le remplacer)"), std::string::npos) << again.err;
    EXPECT_EQ(fix({files[0], files[1], "-o", out, "--force"}).status, 0);
}

TEST_F(FixCommand, OneFileToAFileAndItsSize)
{
    const std::string oneD = write("courbe.cube", "TITLE \"courbe\"\nLUT_1D_SIZE 3\n0 0 0\n0.25 0.25 0.25\n1 1 1\n");
    const std::string copy = folder.path("copie.cube");
    const auto run = fix({oneD, "-o", copy, "--size", "5"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, oneD + " -> " + copy + " : taille 5 ; corrigé : la table 1D, le début des données\n");
    const std::string text = slurp(copy);
    EXPECT_EQ(text.substr(0, 30), "LUT_3D_SIZE 5\nTITLE \"courbe\"\n0");
    EXPECT_TRUE(checkCubeFile(copy).asMeant());

    // No file: nothing written.
    const auto absent = fix({folder.path("absent.cube"), "-o", folder.path("rien.cube")});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.err.find("teintelle-cli fix: " + folder.path("absent.cube") + " : Impossible d'ouvrir le fichier"),
              0u)
        << absent.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path("rien.cube")));

    // The original is never the copy, even with --force.
    const auto over = fix({oneD, "-o", oneD, "--force"});
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("est le fichier d'origine"), std::string::npos) << over.err;
    EXPECT_EQ(slurp(oneD), "TITLE \"courbe\"\nLUT_1D_SIZE 3\n0 0 0\n0.25 0.25 0.25\n1 1 1\n");
}

TEST_F(FixCommand, UsageErrors)
{
    const std::string effect = write("e.cube", CubeLines().text());
    const std::string plainFile = write("f.txt", "x");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {effect}, {effect, "-o"}, {effect, "-o", "x.cube", "--size", "1"},
             {effect, "-o", "x.cube", "--size", "257"}, {effect, effect, "-o", plainFile}}) {
        const auto run = fix(args);
        EXPECT_EQ(run.status, 64) << run.err;
        EXPECT_NE(run.err.find("usage: teintelle-cli fix"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
    const auto help = fix({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}
