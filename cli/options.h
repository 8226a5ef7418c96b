#pragma once
// One parser for the options of every nisttool command.
//
//   const cli::Options opts = cli::parseOptions(args, {{"--json"}, {"--ppi", "N"}});
//   const int ppi = opts.intValue("--ppi", 500, 1, 65535);
//   for (const std::string& file : opts.positional()) ...
//
// Options and operands may come in any order; "--" ends the options. Every
// command also accepts --help / -h (throws HelpRequested) and --verbose
// (sets verbose()). A wrong argument throws UsageError, which main prints
// with the command's usage and exit code 2.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// --help or -h among a command's arguments.
struct HelpRequested {};

struct OptionSpec {
    std::string name;       // "--ppi"
    std::string valueName;  // "N" for an option that takes a value; empty for a flag
};

class Options {
public:
    bool has(const std::string& name) const;
    // The last value given for name, or none.
    std::optional<std::string> value(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback) const;
    // The value as a decimal integer in [min, max]; fallback when not given.
    // A malformed or out-of-range value throws UsageError.
    int intValue(const std::string& name, int fallback, int min, int max) const;
    // The value as a number above min and below max (both exclusive).
    double doubleValue(const std::string& name, double fallback, double min, double max) const;

    const std::vector<std::string>& positional() const { return positional_; }

private:
    friend Options parseOptions(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);
    std::vector<std::pair<std::string, std::string>> given_;  // in order; flags have an empty value
    std::vector<std::string> positional_;
};

Options parseOptions(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

// Whether --verbose was given to this run (to the tool or to the command).
bool verbose();
void setVerbose(bool on);

// Text → number, the checks the option values use; none when malformed.
std::optional<int> parseInt(const std::string& text);
std::optional<double> parseDouble(const std::string& text);

}  // namespace cli

namespace cli {

// The options of a WSQ output, shared by the commands that write WSQ.
struct WsqOutputOptions {
    double bitrate = 0.75;       // --bitrate R, above 0 and below 100
    std::optional<int> ppi;      // --ppi N, 1 to 1000000; none: the source's
    std::optional<std::string> comment;  // --comment TEXT
};
// The ppi written into a WSQ stream when neither --ppi nor the source gives one.
inline constexpr int kFallbackPpi = 500;
inline const std::vector<OptionSpec> kWsqOutputOptionSpecs = {
    {"--bitrate", "R"}, {"--ppi", "N"}, {"--comment", "TEXT"}};
// Throws UsageError for a malformed bit rate or ppi.
WsqOutputOptions wsqOutputOptions(const Options& options);

}  // namespace cli
