// teintelle-cli check: for each .cube file, whether the window applies it,
// and every way in which its reading departs from what the file's author
// meant.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "lut/CubeCheck.h"
#include "lut/LutTable.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace teintelle;

constexpr const char* kUsage = "usage: teintelle-cli check EFFECT.cube [EFFECT2.cube ...]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli check EFFECT.cube [EFFECT2.cube ...]\n"
    "\n"
    "For each file: whether the window applies it, its size N as the program\n"
    "reads it, its number of data lines against N^3, and one line for each way\n"
    "in which the program's reading departs from what the file's author meant\n"
    "(a size line it does not read, a first data line it does not recognise,\n"
    "lines inside the data, tabs or several spaces between fields, values\n"
    "outside 0..1, an input domain or range other than 0..1, a 1D table, a\n"
    "size it cannot apply, fewer or more data lines than N^3).\n"
    "\n"
    "Exit status: 0 every file applies as its author meant, 1 some file does\n"
    "not (or is missing), 64 usage error.\n";

void printCounts(const CubeCheck& check)
{
    std::string line = "  taille " + std::to_string(check.taille);
    if (check.declaredTaille != 0 && check.declaredTaille != check.taille)
        line += " (le fichier déclare " + std::to_string(check.declaredTaille) + ")";
    line += " ; " + std::to_string(check.dataLines) + (check.dataLines == 1 ? " ligne" : " lignes") + " de données";
    const std::int32_t n = check.expectedTaille();
    if (n > 0 && LutTable::fitsInMemoryLimit(n)) {
        const std::uint64_t expected = std::uint64_t(n) * std::uint64_t(n) * std::uint64_t(n);
        line += " pour " + std::to_string(expected) + " attendues (" + std::to_string(n) + "³)";
    }
    std::printf("%s\n", line.c_str());
}

// Prints the report of one file; true when it applies as its author meant.
bool report(const std::string& path)
{
    const CubeCheck check = checkCubeFile(path);
    if (!check.found) {
        std::printf("%s : aucun fichier\n", path.c_str());
        return false;
    }
    if (!check.applies)
        std::printf("%s : ne s'applique pas : %s\n", path.c_str(), check.failure.c_str());
    else if (check.departures.empty())
        std::printf("%s : s'applique comme son auteur l'a voulu\n", path.c_str());
    else
        std::printf("%s : s'applique, mais pas comme son auteur l'a voulu\n", path.c_str());
    printCounts(check);
    for (const auto& departure : check.departures)
        std::printf("  - %s\n", departure.text.c_str());
    return check.asMeant();
}

const cli::ArgumentRules kRules{"check", kUsage, kHelp, {}, {}, {}, 1, SIZE_MAX};

int runCheck(const std::vector<std::string>& args)
{
    cli::Arguments arguments;
    if (const auto status = cli::parseArguments(args, kRules, arguments))
        return *status;
    const std::vector<std::string>& files = arguments.words;
    bool allAsMeant = true;
    for (const auto& file : files)
        allAsMeant = report(file) && allAsMeant;
    std::fflush(stdout);
    return allAsMeant ? cli::kDone : cli::kNotAsMeant;
}

const bool registered =
    cli::registerCommand({"check", "tell whether .cube files apply as their authors meant", &runCheck});

} // namespace
