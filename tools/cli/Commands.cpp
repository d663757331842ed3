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

Exit effectStatus(EffectReadOutcome outcome)
{
    switch (outcome) {
    case EffectReadOutcome::Loaded:
        return kDone;
    case EffectReadOutcome::Missing:
        return kMissing;
    case EffectReadOutcome::Structure:
        return kStructure;
    case EffectReadOutcome::Failed:
        break;
    }
    return kRaised;
}

} // namespace teintelle::cli
