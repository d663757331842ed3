#pragma once
// The command line of one command: its words (files, folders), its flags and
// its options with a value. "--" ends the options, so that a file may be
// named "-x"; a lone "-" is a word.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace teintelle::cli {

struct ArgumentRules {
    const char* command; // "apply": messages start "teintelle-cli apply: "
    const char* usage;   // printed after every usage error
    const char* help;    // printed on standard output for --help or -h
    std::vector<std::string> flags;    // options alone, as --full
    std::vector<std::string> valued;   // options followed by a value, as -o
    std::vector<std::string> required; // valued options that must be given
    std::size_t fewestWords = 1;
    std::size_t mostWords = 1;
};

struct Arguments {
    std::vector<std::string> words;
    std::set<std::string> flags;
    std::map<std::string, std::string> values;

    bool has(const std::string& option) const { return flags.count(option) != 0 || values.count(option) != 0; }
    const std::string& value(const std::string& option) const { return values.at(option); }
};

// Reads args by the rules. Returns the status to exit with at once (0 after
// printing the help, 64 after a usage error and its message), or nothing when
// the command goes on with `parsed`.
std::optional<int> parseArguments(const std::vector<std::string>& args, const ArgumentRules& rules,
                                  Arguments& parsed);

// A usage error found by the command itself: its message, the usage, 64.
int usageError(const ArgumentRules& rules, const std::string& message);

// An integer from low to high written as the whole of text.
bool parseInteger(const std::string& text, int low, int high, int& value);

} // namespace teintelle::cli
