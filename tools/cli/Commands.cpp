#include "cli/Commands.h"

namespace teintelle::cli {

static std::vector<Command>& registry()
{
    static std::vector<Command> all;
    return all;
}

bool registerCommand(const Command& command)
{
    registry().push_back(command);
    return true;
}

const std::vector<Command>& commands() { return registry(); }

} // namespace teintelle::cli
