// nisttool: the engine of the NIST file viewer without windows.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/conversion.h"
#include "platform/prompter.h"

namespace cli {

namespace {
std::vector<Command>& registry()
{
    static std::vector<Command> list;
    return list;
}

void printUsage(std::FILE* out)
{
    std::fprintf(out, "usage: nisttool COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& c : commands())
        std::fprintf(out, "  %s\n", c.usage.c_str());
}
}  // namespace

void registerCommand(Command command)
{
    registry().push_back(std::move(command));
}

const std::vector<Command>& commands()
{
    return registry();
}

int usageError(const std::string& command, const std::string& text)
{
    std::fprintf(stderr, "nisttool: %s\n", text.c_str());
    for (const Command& c : commands())
        if (c.name == command)
            std::fprintf(stderr, "usage: nisttool %s\n", c.usage.c_str());
    return kExitUsage;
}

}  // namespace cli

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        cli::printUsage(args.empty() ? stderr : stdout);
        return args.empty() ? cli::kExitUsage : cli::kExitOk;
    }
    platform::StderrPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    for (const cli::Command& c : cli::commands()) {
        if (c.name != args[0])
            continue;
        try {
            return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
        } catch (const std::exception& e) {
            // The top-level error box of the desktop program, as a line on stderr.
            std::fprintf(stderr, "nisttool: %s\n", e.what());
            return cli::kExitFailure;
        }
    }
    std::fprintf(stderr, "nisttool: unknown command '%s'\n", args[0].c_str());
    cli::printUsage(stderr);
    return cli::kExitUsage;
}
