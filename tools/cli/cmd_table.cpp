// teintelle-cli table: reads .cube files into one LUT table, as successive
// selections in the window would, and prints the table that results.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "lut/EffectRead.h"
#include "lut/LutTable.h"

#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace teintelle;
using namespace teintelle::cli;

constexpr const char* kUsage = "usage: teintelle-cli table FILE.cube [FILE2.cube ...]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli table FILE.cube [FILE2.cube ...]\n"
    "\n"
    "Reads the files in order into one LUT table, each read starting from the\n"
    "table the previous one left, as successive selections of effects do.\n"
    "\n"
    "Standard output, after the last file: the edge size N on one line, then,\n"
    "when the last file was read or was missing, the N^3 entries \"r v b\" one\n"
    "per line in .cube order (red fastest, then green, then blue).\n"
    "Standard error: the message of each file that fails.\n"
    "\n"
    "Exit status, for the last file: 0 read, 1 structure error (size or data\n"
    "not found), 2 error (list, range, memory, floating point, cannot open),\n"
    "3 no file at the path, 64 usage error.\n";

Exit readOne(const std::string& path, LutTable& table, std::int32_t& taille)
{
    const EffectRead read = readEffectFile(path, table, taille);
    if (read.outcome == EffectReadOutcome::Structure || read.outcome == EffectReadOutcome::Failed)
        std::fprintf(stderr, "%s\n", read.message.c_str());
    return effectStatus(read.outcome);
}

// The entries in .cube order, one "r v b" line each, formatted by hand: a
// 256^3 table is 16 million lines.
void printEntries(const LutTable& table)
{
    std::string out;
    out.reserve(1 << 20);
    const auto count = table.entryCount();
    const TLutValeur* entries = table.data();
    for (std::uint64_t n = 0; n < count; ++n) {
        char line[16];
        char* p = line;
        for (std::uint8_t value : {entries[n].r, entries[n].v, entries[n].b}) {
            p = std::to_chars(p, line + sizeof line, value).ptr;
            *p++ = ' ';
        }
        p[-1] = '\n';
        out.append(line, p);
        if (out.size() >= (1 << 20) - 16) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

const cli::ArgumentRules kRules{"table", kUsage, kHelp, {}, {}, {}, 1, SIZE_MAX};

int runTable(const std::vector<std::string>& args)
{
    // Take the user's locale, as the window does: the reading must not change.
    std::setlocale(LC_ALL, "");

    cli::Arguments arguments;
    if (const auto status = cli::parseArguments(args, kRules, arguments))
        return *status;
    const std::vector<std::string>& files = arguments.words;

    LutTable table;
    std::int32_t taille = 0;
    Exit last = kDone;
    for (const auto& file : files)
        last = readOne(file, table, taille);

    std::printf("%d\n", int(taille));
    // After a failure the size may not describe the table: print N alone.
    if ((last == kDone || last == kMissing) && table.taille() == taille)
        printEntries(table);
    std::fflush(stdout);
    return last;
}

const bool registered = cli::registerCommand({"table", "read .cube files into one table and print it", &runTable});

} // namespace
