#pragma once

#include "lut/EffectRead.h"

#include <string>
#include <vector>

namespace teintelle::cli {

// The exit statuses of every command: one number, one outcome, whichever
// command ends with it.
enum Exit : int {
    kDone = 0,          // written, read, every file as its author meant
    kStructure = 1,     // an effect's structure is wrong (size or data not found)
    kNotAsMeant = 1,    // check: some file does not apply as its author meant
    kRaised = 2,        // reading or decoding raised its error
    kNotAvailable = 2,  // sheet: not in this build, or the sheet cannot be made
    kMissing = 3,       // no file at the path
    kNotDecoded = 4,    // the photo does not decode as a JPEG at a quarter of its size
    kUsageError = 64,   // the arguments are not the command's
    kCannotWrite = 73,  // the output file could not be written
};

// The status of a command whose outcome is the reading of an effect.
Exit effectStatus(EffectReadOutcome outcome);

struct Command {
    const char* name;
    const char* summary; // one line for the tool's --help
    int (*run)(const std::vector<std::string>& args); // args after the command name
};

// Commands register themselves from their own file:
//   static const bool registered = registerCommand({"table", "...", &runTable});
bool registerCommand(const Command& command);
const std::vector<Command>& commands();

} // namespace teintelle::cli
