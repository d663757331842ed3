// teintelle-cli fix: for each .cube file, a copy that the window reads as the
// file's author meant it, the effect baked into one 3D table.
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include "common/Error.h"
#include "common/OutputFile.h"
#include "lut/AuthorCube.h"
#include "lut/CubeCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace teintelle;

constexpr const char* kUsage = "usage: teintelle-cli fix IN.cube [IN2.cube ...] -o OUT [--size N] [--force]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli fix IN.cube [IN2.cube ...] -o OUT [--size N] [--force]\n"
    "\n"
    "Reads each file as its author meant it (TITLE, LUT_3D_SIZE and LUT_1D_SIZE\n"
    "anywhere in the head, DOMAIN_MIN / DOMAIN_MAX, LUT_3D_INPUT_RANGE and\n"
    "LUT_1D_INPUT_RANGE, comments and blank lines anywhere, fields separated\n"
    "by spaces or tabs, integers and every decimal form, CR, LF or CR LF, a 1D\n"
    "shaper before a 3D table, a 1D table alone) and writes a copy the window\n"
    "reads exactly so: one 3D table, the shaper and the input domain folded\n"
    "in, inputs outside the domain taken at its edge, values clipped to 0..1,\n"
    "the size line first, six decimals, red fastest.\n"
    "\n"
    "A 3D table the window can apply (up to 256) keeps its size; a larger one\n"
    "is sampled at size N (65 by default), a 1D table alone becomes a 3D table\n"
    "of size N (33 by default). With one file, OUT is the copy (or a folder to\n"
    "put it in); with several, OUT is a folder, made if absent, and each copy\n"
    "takes its file's name. An existing file is replaced only with --force,\n"
    "never by half a file; an original is never replaced.\n"
    "\n"
    "Standard output: one line per file written, saying what was mended.\n"
    "Standard error: one line per file that could not be, with the reason.\n"
    "\n"
    "Exit status: 0 every file written, 1 some file not, 64 usage error.\n";

const cli::ArgumentRules kRules{"fix", kUsage, kHelp, {"--force"}, {"-o", "--size"}, {"-o"}, 1, SIZE_MAX};

bool isFolder(const std::string& path)
{
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What the copy mends, in the words of check's departures.
std::string mended(const std::string& in, const AuthorCube& cube, int size)
{
    std::set<std::string> seen;
    std::string text;
    auto add = [&](const std::string& what) {
        if (seen.insert(what).second)
            text += (text.empty() ? "" : ", ") + what;
    };
    for (const auto& departure : checkCubeFile(in).departures) {
        switch (departure.kind) {
        case CubeDeparture::SizeLine:
        case CubeDeparture::NoSizeLine:
            add("la ligne de taille");
            break;
        case CubeDeparture::DataStart:
            add("le début des données");
            break;
        case CubeDeparture::LinesInData:
            add("les lignes au milieu des données");
            break;
        case CubeDeparture::Separators:
            add("les séparateurs");
            break;
        case CubeDeparture::UnreadableData:
            add("les nombres");
            break;
        case CubeDeparture::WrappedValues:
            add("les valeurs hors de 0..1");
            break;
        case CubeDeparture::Domain:
        case CubeDeparture::InputRange:
            add("le domaine d'entrée");
            break;
        case CubeDeparture::Table1D:
            add(cube.cube.present() ? "la table 1D d'entrée" : "la table 1D");
            break;
        case CubeDeparture::SizeNotApplied:
            add("la taille");
            break;
        case CubeDeparture::LineCount:
            add("le nombre de lignes de données");
            break;
        case CubeDeparture::Entries:
            add("les entrées");
            break;
        }
    }
    if (cube.cube.present() && cube.cube.size != size)
        add("taille " + std::to_string(cube.cube.size) + " ré-échantillonnée en " + std::to_string(size));
    return text.empty() ? "rien à corriger" : "corrigé : " + text;
}

class Fixer {
public:
    Fixer(int size, bool force) : size_(size), force_(force) {}

    // Writes the copy of in at out; false, with its reason on standard
    // error, when it cannot.
    bool fix(const std::string& in, const std::string& out)
    {
        try {
            refuseOut(in, out);
            const AuthorCube cube = readAuthorCubeFile(in);
            const int size = cube.copySize(size_);
            OutputFile file(out);
            cube.writeWindowCopy(size, [&file](std::string_view piece) { file.write(piece.data(), piece.size()); });
            file.commit();
            written_.insert(out);
            std::printf("%s -> %s : taille %d ; %s\n", in.c_str(), out.c_str(), size, mended(in, cube, size).c_str());
            return true;
        } catch (const Error& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "teintelle-cli fix: %s : %s\n", in.c_str(), error.what());
            return false;
        }
    }

private:
    void refuseOut(const std::string& in, const std::string& out) const
    {
        struct stat inStatus{}, outStatus{};
        if (::stat(out.c_str(), &outStatus) != 0)
            return;
        if (::stat(in.c_str(), &inStatus) == 0 && inStatus.st_dev == outStatus.st_dev
            && inStatus.st_ino == outStatus.st_ino)
            throw Error("« " + out + " » est le fichier d'origine, qui n'est jamais remplacé");
        if (written_.count(out) != 0)
            throw Error("« " + out + " » vient d'être écrit pour un autre fichier du même nom");
        if (!force_)
            throw Error("« " + out + " » existe déjà (--force pour le remplacer)");
    }

    int size_;
    bool force_;
    std::set<std::string> written_;
};

int runFix(const std::vector<std::string>& args)
{
    cli::Arguments arguments;
    if (const auto status = cli::parseArguments(args, kRules, arguments))
        return *status;
    int size = 0;
    if (arguments.has("--size") && !cli::parseInteger(arguments.value("--size"), 2, kWindowMax3D, size))
        return cli::usageError(kRules, "--size attend un nombre entier de 2 à 256");
    const std::vector<std::string>& files = arguments.words;
    const std::string& out = arguments.value("-o");

    const bool intoFolder = files.size() > 1 || isFolder(out);
    if (intoFolder && !isFolder(out)) {
        struct stat status{};
        if (::stat(out.c_str(), &status) == 0)
            return cli::usageError(kRules, "-o doit nommer un dossier pour plusieurs fichiers");
        if (::mkdir(out.c_str(), 0777) != 0) {
            std::fprintf(stderr, "teintelle-cli fix: impossible de créer le dossier « %s ». %s\n", out.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    Fixer fixer(size, arguments.has("--force"));
    bool all = true;
    for (const auto& file : files) {
        const std::string target = intoFolder ? out + (out.back() == '/' ? "" : "/") + baseName(file) : out;
        all = fixer.fix(file, target) && all;
    }
    std::fflush(stdout);
    return all ? 0 : 1;
}

const bool registered =
    cli::registerCommand({"fix", "write copies of .cube files that the window reads as their authors meant", &runFix});

} // namespace
