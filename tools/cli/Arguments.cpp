#include "cli/Arguments.h"

#include "cli/Commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace teintelle::cli {

namespace {

bool listed(const std::vector<std::string>& list, const std::string& arg)
{
    return std::find(list.begin(), list.end(), arg) != list.end();
}

} // namespace

int usageError(const ArgumentRules& rules, const std::string& message)
{
    if (!message.empty())
        std::fprintf(stderr, "teintelle-cli %s: %s\n", rules.command, message.c_str());
    std::fputs(rules.usage, stderr);
    return kUsageError;
}

std::optional<int> parseArguments(const std::vector<std::string>& args, const ArgumentRules& rules,
                                  Arguments& parsed)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool option = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!option) {
            parsed.words.push_back(arg);
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(rules.help, stdout);
            return 0;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (listed(rules.flags, arg)) {
            parsed.flags.insert(arg);
        } else if (listed(rules.valued, arg)) {
            if (i + 1 == args.size())
                return usageError(rules, "« " + arg + " » attend une valeur");
            if (!parsed.values.emplace(arg, args[++i]).second)
                return usageError(rules, "« " + arg + " » donné deux fois");
        } else {
            return usageError(rules, "option inconnue « " + arg + " »");
        }
    }
    for (const std::string& option : rules.required) {
        if (!parsed.has(option))
            return usageError(rules, "");
    }
    if (parsed.words.size() < rules.fewestWords || parsed.words.size() > rules.mostWords)
        return usageError(rules, "");
    return std::nullopt;
}

bool parseInteger(const std::string& text, int low, int high, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

} // namespace teintelle::cli
