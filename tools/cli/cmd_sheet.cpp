// teintelle-cli sheet: every effect of a folder applied to a photo, laid out
// as a grid of labelled thumbnails, the photo without effect first.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Sheet.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace teintelle;
using namespace teintelle::cli;

constexpr const char* kUsage = "usage: teintelle-cli sheet FOLDER PHOTO -o SHEET.png [--columns C] [--size PX]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli sheet FOLDER PHOTO -o SHEET.png [--columns C] [--size PX]\n"
    "\n"
    "Applies every effect file of FOLDER and its sub-folders, found and ordered\n"
    "as the effect tree lists them, to the photo's quarter picture, each as the\n"
    "first effect selected after start-up, and lays the results out as a grid\n"
    "of thumbnails: the photo without effect first, then the effects, each with\n"
    "its file name under it. An effect that cannot be read gets an empty cell\n"
    "with the reason. Thumbnails are shrunk to fit PX x PX pixels (default 256)\n"
    "and sampled at the nearest pixel, as the window's views show a picture;\n"
    "C columns (default: about as many as rows).\n"
    "\n"
    "SHEET is a PNG, or a binary PPM when its name does not end in .png.\n"
    "Standard output: one line per cell in order, \"X Y W H<tab>FILE\" (the\n"
    "thumbnail's place in the sheet), followed by \"<tab>REASON\" for an effect\n"
    "that could not be applied. Progress goes to standard error when the work\n"
    "lasts more than a second.\n"
    "\n"
    "Exit status: 0 written, 2 not available in this build (no Qt) or the sheet\n"
    "could not be made, 3 FOLDER names no folder or PHOTO no file, 4 the photo\n"
    "does not decode as a JPEG at a quarter of its size, 64 usage error,\n"
    "73 SHEET could not be written (a file already there is then left as it\n"
    "was).\n";

const ArgumentRules kRules{"sheet", kUsage, kHelp, {}, {"-o", "--columns", "--size"}, {"-o"}, 2, 2};

// Returns the status to exit with at once, or nothing when the request is good.
std::optional<int> parse(const std::vector<std::string>& args, SheetRequest& request)
{
    Arguments arguments;
    if (const auto status = parseArguments(args, kRules, arguments))
        return status;
    request.folder = arguments.words[0];
    request.photo = arguments.words[1];
    request.out = arguments.value("-o");
    if (arguments.has("--columns") && !parseInteger(arguments.value("--columns"), 1, 1000, request.columns))
        return usageError(kRules, "--columns attend un entier de 1 à 1000");
    if (arguments.has("--size") && !parseInteger(arguments.value("--size"), 16, 4096, request.size))
        return usageError(kRules, "--size attend un entier de 16 à 4096");
    return std::nullopt;
}

int runSheet(const std::vector<std::string>& args)
{
    SheetRequest arguments;
    if (const auto status = parse(args, arguments))
        return *status;
    return makeSheet(arguments);
}

const bool registered =
    registerCommand({"sheet", "lay out every effect of a folder applied to a photo as a contact sheet", &runSheet});

} // namespace
