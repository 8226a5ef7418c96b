// nisttool: the engine of the NIST file viewer without windows.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/diagnostics.h"
#include "cli/options.h"
#include "platform/prompter.h"

#ifndef NV_VERSION
#define NV_VERSION "unknown"
#endif

namespace cli {

namespace {
std::vector<Command>& registry()
{
    static std::vector<Command> list;
    return list;
}

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: nisttool [--verbose] COMMAND [ARGS]\n"
                 "       nisttool help COMMAND | COMMAND --help\n"
                 "       nisttool --version\n\ncommands:\n");
    for (const Command& c : commands())
        std::fprintf(out, "  %s\n", c.usage.c_str());
    std::fprintf(out, "\nexit codes: 0 done, 1 a file failed, 2 wrong arguments\n");
}

const Command* findCommand(const std::string& name)
{
    for (const Command& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

void printCommandHelp(const Command& c)
{
    std::printf("usage: nisttool %s\n", c.usage.c_str());
    if (!c.details.empty())
        std::printf("\n%s", c.details.c_str());
}

int runCommand(const Command& c, const std::vector<std::string>& args)
{
    try {
        return c.run(args);
    } catch (const HelpRequested&) {
        printCommandHelp(c);
        return kExitOk;
    } catch (const UsageError& e) {
        return usageError(c.name, e.what());
    } catch (const std::exception& e) {
        // The top-level error box of the desktop program, as a line on stderr.
        std::fprintf(stderr, "nisttool: %s\n", e.what());
        return kExitFailure;
    }
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
    std::fprintf(stderr, "nisttool: %s: %s\n", command.c_str(), text.c_str());
    if (const Command* c = findCommand(command))
        std::fprintf(stderr, "usage: nisttool %s\n", c->usage.c_str());
    return kExitUsage;
}

}  // namespace cli

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    while (!args.empty() && args[0] == "--verbose") {
        cli::setVerbose(true);
        args.erase(args.begin());
    }
    if (args.empty()) {
        cli::printUsage(stderr);
        return cli::kExitUsage;
    }
    if (args[0] == "--version") {
        std::printf("nisttool %s\n", NV_VERSION);
        return cli::kExitOk;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        if (args.size() == 1) {
            cli::printUsage(stdout);
            return cli::kExitOk;
        }
        if (const cli::Command* c = cli::findCommand(args[1])) {
            cli::printCommandHelp(*c);
            return cli::kExitOk;
        }
        std::fprintf(stderr, "nisttool: unknown command '%s'\n", args[1].c_str());
        return cli::kExitUsage;
    }
    const cli::Command* command = cli::findCommand(args[0]);
    if (!command) {
        std::fprintf(stderr, "nisttool: unknown command '%s'\n", args[0].c_str());
        cli::printUsage(stderr);
        return cli::kExitUsage;
    }
    // "CMD --help" for every command, also one that reads its own arguments.
    if (args.size() > 1 && (args[1] == "--help" || args[1] == "-h")) {
        cli::printCommandHelp(*command);
        return cli::kExitOk;
    }
    cli::ToolPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    cli::CodecDiagnostics codec;
    return cli::runCommand(*command, std::vector<std::string>(args.begin() + 1, args.end()));
}
