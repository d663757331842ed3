// teintelle-cli: the command-line companion of the Teintelle window, built on
// the same engine, so that what it prints or writes is what the window shows.
#include "cli/Commands.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using teintelle::cli::commands;

static void printUsage(std::FILE* out)
{
    std::fprintf(out, "usage: teintelle-cli COMMAND [ARGS...]\n"
                      "       teintelle-cli COMMAND --help\n\ncommands:\n");
    auto sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& command : sorted)
        std::fprintf(out, "  %-8s %s\n", command.name, command.summary);
}

int main(int argc, char** argv)
{
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG, as
    // on a full disk, instead of killing us with the temporary file left.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        printUsage(stderr);
        return teintelle::cli::kUsageError;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const auto& command : commands()) {
        if (name == command.name)
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "teintelle-cli: commande inconnue « %s »\n", name.c_str());
    printUsage(stderr);
    return teintelle::cli::kUsageError;
}
