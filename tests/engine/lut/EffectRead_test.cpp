#include "common/TempFolder.h"
#include "lut/CubeFixtures.h"
#include "lut/EffectRead.h"

#include <gtest/gtest.h>

#include <string>

using namespace teintelle;
using teintelle::test::repeatLine;

// Each way a read can end, and what a caller is left with: the outcome, the
// text it shows, the size and the table as the reader left them.
TEST(EffectRead, EachWayAReadEndsGivesItsOutcomeAndText)
{
    const std::string data = "0.0 0.0 0.0\n" + repeatLine("1.0 1.0 1.0", 7);
    struct Case {
        const char* what;
        bool onDisk;
        std::string content;
        EffectReadOutcome outcome;
        std::string message;
        std::int32_t taille; // after the read, starting from 9
    } cases[] = {
        {"a table", true, "LUT_3D_SIZE 2\n" + data, EffectReadOutcome::Loaded, "", 2},
        {"no file", false, "", EffectReadOutcome::Missing, "", 9},
        {"no size line", true, "# none\n" + data + repeatLine("#", 20), EffectReadOutcome::Structure,
         "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.", 0},
        {"data past the head", true, "LUT_3D_SIZE 2\n" + repeatLine("#", 19) + data, EffectReadOutcome::Structure,
         "Erreur dans la structure du fichier. Impossible de trouver les données de la table.", 2},
        {"a raised error", true, "LUT_3D_SIZE 4\n", EffectReadOutcome::Failed, "Index de liste hors limites (1)", 4},
        {"no memory for the table", true, "LUT_3D_SIZE 1000000\n" + data, EffectReadOutcome::Failed,
         "Mémoire insuffisante", 1000000},
    };
    test::TempFolder temp;
    for (const Case& c : cases) {
        const std::string path = c.onDisk ? temp.write("effect.cube", c.content) : temp.path("absent.cube");
        LutTable table;
        std::int32_t taille = 9;
        const EffectRead read = readEffectFile(path, table, taille);
        EXPECT_EQ(read.outcome, c.outcome) << c.what;
        EXPECT_EQ(read.loaded(), c.outcome == EffectReadOutcome::Loaded) << c.what;
        EXPECT_EQ(read.message, c.message) << c.what;
        EXPECT_EQ(taille, c.taille) << c.what;
        EXPECT_EQ(table.taille(), read.loaded() ? 2 : 0) << c.what;
    }
}
