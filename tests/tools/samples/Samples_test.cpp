// The sample effects read back through the program's reader, and the sample
// photo through its quarter-size decode.
#include "common/TempFolder.h"
#include "imaging/PhotoLoading.h"
#include "lut/CubeCheck.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <sys/wait.h>

using namespace teintelle;
namespace fs = std::filesystem;

namespace {

const fs::path kSamples = TEINTELLE_SAMPLES_DIR;

struct CubeHead {
    std::string title;
    int declaredSize = 0;
    std::uint64_t dataLines = 0;
    bool valuesInRange = true;
};

// What the file claims, read the plain way: the TITLE and LUT_3D_SIZE lines,
// and every line of three values with 6 decimals in 0..1.
CubeHead readHead(const fs::path& path)
{
    CubeHead head;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("TITLE \"", 0) == 0)
            head.title = line.substr(7, line.size() - 8);
        else if (line.rfind("LUT_3D_SIZE ", 0) == 0)
            head.declaredSize = std::stoi(line.substr(12));
        else if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            ++head.dataLines;
            // "d.dddddd d.dddddd d.dddddd" with each value 0.xxxxxx or 1.000000
            bool good = line.size() == 26;
            for (int v = 0; good && v < 3; ++v) {
                const std::string value = line.substr(std::size_t(v) * 9, 8);
                good = value[1] == '.' && (value[0] == '0' || value == "1.000000");
            }
            head.valuesInRange = head.valuesInRange && good;
        }
    }
    return head;
}

} // namespace

TEST(SampleEffects, EachReadsBackWithTheSizeAndEntriesItClaims)
{
    const std::set<std::string> looks{"Chaud",          "Froid",     "Noir et blanc",      "Sépia",
                                      "Contraste fort", "Film fané", "Sarcelle et orange", "Traitement croisé"};
    for (const int size : {17, 33, 65}) {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(kSamples / std::to_string(size))) {
            SCOPED_TRACE(entry.path().string());
            ASSERT_EQ(entry.path().extension(), ".cube");
            found.insert(entry.path().stem().string());

            const CubeHead head = readHead(entry.path());
            EXPECT_EQ(head.title, entry.path().stem().string());
            EXPECT_EQ(head.declaredSize, size);
            EXPECT_EQ(head.dataLines, std::uint64_t(size) * size * size);
            EXPECT_TRUE(head.valuesInRange);

            LutTable table;
            std::int32_t taille = 0;
            ASSERT_EQ(loadCubeFile(entry.path().string(), table, taille), CubeStatus::Loaded);
            EXPECT_EQ(taille, size);
            EXPECT_EQ(table.entryCount(), head.dataLines);
            // And the program reads every entry as written.
            const CubeCheck check = checkCubeFile(entry.path().string());
            EXPECT_TRUE(check.asMeant()) << (check.departures.empty() ? "" : check.departures[0].text);
        }
        EXPECT_EQ(found, looks) << size;
    }
}

TEST(SamplePhoto, TakesTheQuarterSizePath)
{
    TBitmap32 quarter;
    ASSERT_EQ(ChargePhotoReduite((kSamples / "Mire.jpg").string(), quarter), 4);
    EXPECT_GE(std::max(quarter.Width(), quarter.Height()), 1000);
}

// Options and an empty name are refused before anything is written: the
// writer takes its one argument as the folder to fill.
TEST(SampleWriter, AnOptionIsNoFolderName)
{
    test::TempFolder folder;
    for (const std::string argument : {"--help", "-h", "''"}) {
        const std::string command = "cd '" + folder.top() + "' && '" + TEINTELLE_SAMPLES_PATH + "' " + argument + " 2>/dev/null";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 64) << argument;
    }
    EXPECT_TRUE(fs::is_empty(folder.top()));
}
