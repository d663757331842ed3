#pragma once

#include <string>
#include <vector>

namespace teintelle::cli {

// Exit status shared by every command for a usage error.
constexpr int kUsageError = 64;

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
