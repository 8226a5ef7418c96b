#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cctype>
#include <fstream>
#include <limits>
#include <sstream>

namespace platform {

namespace {

std::string readSmallFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    // /proc files report no size; read what they give, within reason.
    constexpr std::streamsize kLimit = 1 << 20;
    char buffer[4096];
    std::streamsize total = 0;
    while (total < kLimit && in.read(buffer, sizeof buffer).gcount() > 0) {
        text.write(buffer, in.gcount());
        total += in.gcount();
    }
    return text.str();
}

std::string trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// os-release values follow shell quoting: "..." with backslash escapes, '...', or bare.
std::string unquote(const std::string& value)
{
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return value.substr(1, value.size() - 2);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        for (std::size_t i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == '\\' && i + 2 < value.size())
                ++i;
            out += value[i];
        }
        return out;
    }
    return value;
}

// Leading decimal numbers of a release text separated by dots: "6.1.0-18" gives 6, 1, 0.
std::vector<int> releaseNumbers(const std::string& release)
{
    std::vector<int> numbers;
    std::size_t i = 0;
    while (numbers.size() < 3 && i < release.size() && std::isdigit(static_cast<unsigned char>(release[i]))) {
        long value = 0;
        while (i < release.size() && std::isdigit(static_cast<unsigned char>(release[i]))) {
            if (value < 100000000)
                value = value * 10 + (release[i] - '0');
            ++i;
        }
        numbers.push_back(static_cast<int>(value));
        if (i < release.size() && release[i] == '.')
            ++i;
        else
            break;
    }
    return numbers;
}

}  // namespace

SystemSources readSystemSources()
{
    SystemSources sources;
    struct utsname names {};
    if (::uname(&names) == 0) {
        sources.unameAvailable = true;
        sources.sysname = names.sysname;
        sources.release = names.release;
        sources.version = names.version;
    }
    sources.osRelease = readSmallFile("/etc/os-release");
    if (sources.osRelease.empty())
        sources.osRelease = readSmallFile("/usr/lib/os-release");
    sources.meminfo = readSmallFile("/proc/meminfo");
    return sources;
}

std::string osReleaseValue(const std::string& osRelease, const std::string& key)
{
    std::istringstream lines(osRelease);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && trim(line.substr(0, equals)) == key)
            return unquote(trim(line.substr(equals + 1)));
    }
    return {};
}

std::optional<std::uint64_t> meminfoBytes(const std::string& meminfo, const std::string& key)
{
    std::istringstream lines(meminfo);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || line.compare(0, colon, key) != 0 || colon != key.size())
            continue;
        std::istringstream value(line.substr(colon + 1));
        std::uint64_t amount = 0;
        std::string unit;
        if (!(value >> amount))
            return std::nullopt;
        value >> unit;
        if (unit.empty())
            return amount;
        if (unit != "kB" || amount > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return amount * 1024;
    }
    return std::nullopt;
}

SystemInfo::SystemInfo()
{
    detect(readSystemSources());
}

SystemInfo::SystemInfo(const SystemSources& sources)
{
    detect(sources);
}

void SystemInfo::detect(const SystemSources& sources)
{
    std::string distribution = osReleaseValue(sources.osRelease, "PRETTY_NAME");
    if (distribution.empty())
        distribution = trim(osReleaseValue(sources.osRelease, "NAME") + " " +
                            osReleaseValue(sources.osRelease, "VERSION"));
    const std::string kernel = sources.unameAvailable ? sources.sysname : std::string();
    if (!distribution.empty() && !kernel.empty())
        operatingSystemName_ = distribution + " - " + kernel;
    else if (!distribution.empty() || !kernel.empty())
        operatingSystemName_ = distribution + kernel;
    else
        operatingSystemName_ = "Unknown";

    if (sources.unameAvailable) {
        const std::vector<int> numbers = releaseNumbers(sources.release);
        majorVersion_ = numbers.size() > 0 ? numbers[0] : 0;
        minorVersion_ = numbers.size() > 1 ? numbers[1] : 0;
        buildNumber_ = numbers.size() > 2 ? numbers[2] : 0;
        servicePackText_ = trim(sources.release + " " + sources.version);
    }

    availableMemory_ = meminfoBytes(sources.meminfo, "MemAvailable");
    if (!availableMemory_)  // kernels before 3.14
        availableMemory_ = meminfoBytes(sources.meminfo, "MemFree");
}

std::string FormatAvailableMemory(std::uint64_t bytes)
{
    const std::uint64_t k = bytes / 1024;
    if (k < 1000)
        return std::to_string(k) + " KB";
    return std::to_string(k / 1000) + " MB";
}

std::vector<std::string> systemSummaryLines(const SystemInfo& info)
{
    const std::optional<std::uint64_t> memory = info.GetAvailableMemory();
    return {
        "Memory available to Windows: " + (memory ? FormatAvailableMemory(*memory) : std::string("unknown")),
        "Operating System: " + info.GetOperatingSystemName(),
        "Major version: " + std::to_string(info.GetMajorVersion()),
        "Minor version: " + std::to_string(info.GetMinorVersion()),
        "Build number:  " + std::to_string(info.GetBuildNumber()),
        "Service Pack info: " + info.GetServicePackText(),
    };
}

}  // namespace platform
