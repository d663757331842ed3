// teintelle-cli decode: the picture the small view holds after the photo's
// quarter-size decode on a fresh start, or with --full the picture of the
// full-size path, written as PPM or PNG.
#include "cli/Arguments.h"
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
    "failed, 64 usage error, 73 OUT could not be written (a file already\n"
    "there is then left as it was).\n";

const ArgumentRules kRules{"decode", kUsage, kHelp, {"--full"}, {"-o"}, {"-o"}, 1, 1};

int runDecode(const std::vector<std::string>& args)
{
    Arguments arguments;
    if (const auto status = parseArguments(args, kRules, arguments))
        return *status;
    const std::string& photo = arguments.words[0];
    const std::string& out = arguments.value("-o");
    if (!namesRegularFile(photo)) {
        std::fprintf(stderr, "teintelle-cli decode: aucun fichier « %s »\n", photo.c_str());
        return kMissing;
    }

    TBitmap32 surface;
    if (arguments.has("--full")) {
        try {
            LoadFromFile(photo, surface, photoDecoders());
        } catch (const Error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return kRaised;
        }
        return writePictureOf("decode", surface, out);
    }

    if (ChargePhotoReduite(photo, surface) == 4)
        return writePictureOf("decode", surface, out);
    const int written = writePictureOf("decode", surface, out);
    std::fprintf(stderr, "teintelle-cli decode: « %s » ne se décode pas en JPEG au quart de sa taille\n",
                 photo.c_str());
    return written == kDone ? kNotDecoded : written;
}

const bool registered =
    registerCommand({"decode", "decode a photo as the small view (or the full-size path) holds it", &runDecode});

} // namespace
