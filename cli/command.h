#pragma once
// nisttool subcommands. Each subcommand lives in its own source file and
// registers itself with a static CommandRegistrar.
#include <functional>
#include <string>
#include <vector>

namespace cli {

// Exit codes shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file failed
inline constexpr int kExitUsage = 2;    // wrong arguments

struct Command {
    std::string name;     // first word after "nisttool"
    std::string usage;    // one line, shown by "nisttool help"
    std::function<int(const std::vector<std::string>& args)> run;  // args after the name
    std::string details = {};  // further lines for "nisttool help NAME" (options, exit codes); may be empty
};

void registerCommand(Command command);
const std::vector<Command>& commands();

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { registerCommand(std::move(command)); }
};

// Prints "nisttool: <command>: <text>" and the command's usage to stderr;
// returns kExitUsage. Commands may also throw UsageError (cli/options.h).
int usageError(const std::string& command, const std::string& text);

}  // namespace cli
