// teintelle-cli apply: an effect applied to a photo exactly as the window
// does it on a fresh start: the effect read first, the photo decoded at a
// quarter of its size into the small view, the table applied from it.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/PhotoOutput.h"

#include "common/Error.h"
#include "imaging/PhotoLoading.h"
#include "lut/AppliqueLut.h"
#include "lut/EffectRead.h"
#include "lut/LutTable.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace teintelle;
using namespace teintelle::cli;

constexpr const char* kUsage = "usage: teintelle-cli apply EFFECT.cube PHOTO -o OUT\n";
constexpr const char* kHelp =
    "usage: teintelle-cli apply EFFECT.cube PHOTO -o OUT\n"
    "\n"
    "Reads the effect, decodes the photo at a quarter of its size as the small\n"
    "view holds it, applies the effect to it as the window does, and writes the\n"
    "result: a binary PPM (P6, maxval 255, alpha dropped), or a PNG when OUT's\n"
    "name ends in .png.\n"
    "\n"
    "When the effect cannot be read, nothing is written and the status is the\n"
    "one `teintelle-cli table` gives: 1 structure error (its message on\n"
    "standard error), 2 error (its message), 3 no file at EFFECT.cube.\n"
    "When the quarter-size decode fails, the effect is applied to what the\n"
    "small view then holds, as the window does when it is selected: OUT\n"
    "receives the empty PPM \"P6 0 0 255\" (no PNG file) when nothing was\n"
    "decoded, the effect applied to white at the quarter size when the decode\n"
    "failed after the header; the status is 4.\n"
    "\n"
    "Exit status: 0 written, 1 to 3 as above, 2 also when applying raised an\n"
    "error, 3 also when PHOTO names no file, 4 the quarter-size decode failed,\n"
    "64 usage error, 73 OUT could not be written (a file already there is\n"
    "then left as it was).\n";

const ArgumentRules kRules{"apply", kUsage, kHelp, {}, {"-o"}, {"-o"}, 2, 2};

// The effect read as `table` reads it, with the same statuses.
int readEffect(const std::string& path, LutTable& table, std::int32_t& taille)
{
    const EffectRead read = readEffectFile(path, table, taille);
    if (read.outcome == EffectReadOutcome::Missing)
        std::fprintf(stderr, "teintelle-cli apply: aucun fichier « %s »\n", path.c_str());
    else if (!read.loaded())
        std::fprintf(stderr, "%s\n", read.message.c_str());
    return effectStatus(read.outcome);
}

int runApply(const std::vector<std::string>& args)
{
    Arguments arguments;
    if (const auto status = parseArguments(args, kRules, arguments))
        return *status;
    const std::string& effect = arguments.words[0];
    const std::string& photo = arguments.words[1];
    const std::string& out = arguments.value("-o");

    LutTable table;
    std::int32_t taille = 0;
    if (const int status = readEffect(effect, table, taille); status != kDone)
        return status;

    if (!namesRegularFile(photo)) {
        std::fprintf(stderr, "teintelle-cli apply: aucun fichier « %s »\n", photo.c_str());
        return kMissing;
    }
    TBitmap32 source; // the small view's surface
    // A failed decode leaves the small view holding nothing or white, and the
    // window applies a selected effect to that all the same.
    const bool decoded = ChargePhotoReduite(photo, source) == 4;
    if (!decoded)
        std::fprintf(stderr, "teintelle-cli apply: « %s » ne se décode pas en JPEG au quart de sa taille\n",
                     photo.c_str());

    TBitmap32 processed; // ImageTraitee
    float coef = 0.0f;
    try {
        AppliqueLut(source, processed, table, taille, coef);
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return kRaised;
    }
    const int written = writePictureOf("apply", processed, out);
    return written == kDone && !decoded ? kNotDecoded : written;
}

const bool registered =
    registerCommand({"apply", "apply an effect to a photo's quarter picture as the window does", &runApply});

} // namespace
