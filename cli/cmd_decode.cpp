// teintelle-cli decode: the picture the small view holds after the photo's
// quarter-size decode on a fresh start, or with --full the picture of the
// full-size path, written as PPM or PNG.
#include "cli/Commands.h"
#include "cli/PhotoOutput.h"

#include "common/Error.h"
#include "imaging/PhotoLoading.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace teintelle;
using namespace teintelle::cli;

constexpr const char* kUsage = "usage: teintelle-cli decode PHOTO -o OUT [--full]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli decode PHOTO -o OUT [--full]\n"
    "\n"
    "Writes the picture the small view holds after the photo is decoded at a\n"
    "quarter of its size on a fresh start; with --full, the picture of the\n"
    "full-size path instead. OUT is a binary PPM (P6, maxval 255, alpha\n"
    "dropped), or a PNG when its name ends in .png.\n"
    "\n"
    "When the quarter-size decode fails, OUT still receives what the small\n"
    "view then holds: nothing decoded gives the empty PPM \"P6 0 0 255\" (no\n"
    "PNG file), a decode that failed after the header gives white at the\n"
    "quarter size.\n"
    "\n"
    "Exit status: 0 written, 2 --full raised an error (its message on standard\n"
    "error, nothing written), 3 no file at PHOTO, 4 the quarter-size decode\n"
    "failed, 64 usage error, 73 OUT could not be written.\n";

struct Arguments {
    std::string photo, out;
    bool full = false;
};

// Returns -1 when the arguments are good, else the status to exit with.
int parse(const std::vector<std::string>& args, Arguments& parsed)
{
    bool optionsEnded = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--full") {
            parsed.full = true;
        } else if (!optionsEnded && arg == "-o") {
            if (i + 1 == args.size() || !parsed.out.empty()) {
                std::fputs(kUsage, stderr);
                return kUsageError;
            }
            parsed.out = args[++i];
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "teintelle-cli decode: option inconnue « %s »\n%s", arg.c_str(), kUsage);
            return kUsageError;
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() != 1 || parsed.out.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    parsed.photo = words[0];
    return -1;
}

int write(const TBitmap32& surface, const std::string& out)
{
    const std::string problem = writePicture(surface, out);
    if (problem.empty())
        return kPhotoWritten;
    std::fprintf(stderr, "teintelle-cli decode: %s\n", problem.c_str());
    return kPhotoCannotWrite;
}

int runDecode(const std::vector<std::string>& args)
{
    Arguments a;
    if (const int status = parse(args, a); status >= 0)
        return status;
    if (!namesAFile(a.photo)) {
        std::fprintf(stderr, "teintelle-cli decode: aucun fichier « %s »\n", a.photo.c_str());
        return kPhotoMissing;
    }

    TBitmap32 surface;
    if (a.full) {
        installDecoders();
        try {
            LoadFromFile(a.photo, surface);
        } catch (const Error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return kPhotoRaised;
        }
        return write(surface, a.out);
    }

    if (ChargePhotoReduite(a.photo, surface) == 4)
        return write(surface, a.out);
    const int written = write(surface, a.out);
    std::fprintf(stderr, "teintelle-cli decode: « %s » ne se décode pas en JPEG au quart de sa taille\n",
                 a.photo.c_str());
    return written == kPhotoWritten ? kPhotoNotDecoded : written;
}

const bool registered =
    registerCommand({"decode", "decode a photo as the small view (or the full-size path) holds it", &runDecode});

} // namespace
