#include "cli/options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {
bool verboseRun = false;

const OptionSpec* findSpec(const std::vector<OptionSpec>& specs, const std::string& name)
{
    const auto it = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) { return s.name == name; });
    return it == specs.end() ? nullptr : &*it;
}
}  // namespace

bool verbose()
{
    return verboseRun;
}

void setVerbose(bool on)
{
    verboseRun = on;
}

std::optional<int> parseInt(const std::string& text)
{
    if (text.empty() || text.front() == ' ' || text.front() == '+')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> parseDouble(const std::string& text)
{
    if (text.empty() || text.front() == ' ')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Options parseOptions(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs)
{
    Options options;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (operandsOnly || a.size() < 2 || a[0] != '-') {
            options.positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            operandsOnly = true;
            continue;
        }
        if (a == "--help" || a == "-h")
            throw HelpRequested{};
        if (a == "--verbose") {
            setVerbose(true);
            continue;
        }
        // --name=value is the same as --name value.
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        const OptionSpec* option = findSpec(specs, name);
        if (!option)
            throw UsageError("unknown option '" + name + "'");
        if (option->valueName.empty()) {
            if (equals != std::string::npos)
                throw UsageError("option " + name + " takes no value");
            options.given_.emplace_back(name, std::string());
        } else if (equals != std::string::npos) {
            options.given_.emplace_back(name, a.substr(equals + 1));
        } else {
            if (i + 1 == args.size())
                throw UsageError("option " + name + " needs a value (" + option->valueName + ")");
            options.given_.emplace_back(name, args[++i]);
        }
    }
    return options;
}

bool Options::has(const std::string& name) const
{
    return std::any_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == name; });
}

std::optional<std::string> Options::value(const std::string& name) const
{
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == name)
            return it->second;
    return std::nullopt;
}

std::string Options::value(const std::string& name, const std::string& fallback) const
{
    return value(name).value_or(fallback);
}

int Options::intValue(const std::string& name, int fallback, int min, int max) const
{
    const std::optional<std::string> text = value(name);
    if (!text)
        return fallback;
    const std::optional<int> number = parseInt(*text);
    if (!number || *number < min || *number > max)
        throw UsageError("'" + *text + "' is not a valid value for " + name + " (a whole number from " +
                         std::to_string(min) + " to " + std::to_string(max) + ")");
    return *number;
}

double Options::doubleValue(const std::string& name, double fallback, double min, double max) const
{
    const std::optional<std::string> text = value(name);
    if (!text)
        return fallback;
    const std::optional<double> number = parseDouble(*text);
    if (!number || !(*number > min && *number < max)) {
        char range[64];
        std::snprintf(range, sizeof range, "a number above %g and below %g", min, max);
        throw UsageError("'" + *text + "' is not a valid value for " + name + " (" + range + ")");
    }
    return *number;
}

}  // namespace cli

namespace cli {

WsqOutputOptions wsqOutputOptions(const Options& options)
{
    WsqOutputOptions out;
    out.bitrate = options.doubleValue("--bitrate", out.bitrate, 0.0, 100.0);
    // A resolution is a positive number: 0 or -1 would label a print with a
    // scale a matcher cannot use.
    if (options.value("--ppi"))
        out.ppi = options.intValue("--ppi", 0, 1, 1000000);
    out.comment = options.value("--comment");
    return out;
}

}  // namespace cli
