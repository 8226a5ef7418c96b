#pragma once
// A short summary of the computer for the About boxes: the operating system
// (distribution and kernel), its version numbers and the memory available.
// Read from uname(2), os-release and /proc/meminfo; the sources can be given
// directly so that the summary can be checked without the running system.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the system reports, unparsed.
struct SystemSources {
    bool unameAvailable = false;
    std::string sysname;   // "Linux"
    std::string release;   // "6.1.0-18-amd64"
    std::string version;   // "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)"
    std::string osRelease; // contents of /etc/os-release (or /usr/lib/os-release); empty when none
    std::string meminfo;   // contents of /proc/meminfo; empty when unreadable
};

// The sources of the running system.
SystemSources readSystemSources();

class SystemInfo {
public:
    // Detects the running system.
    SystemInfo();
    explicit SystemInfo(const SystemSources& sources);
    virtual ~SystemInfo() = default;

    // The distribution's name with the kernel's, "Unknown" when neither is known.
    const std::string& GetOperatingSystemName() const { return operatingSystemName_; }
    // The kernel release's numbers: 6.1.0 gives 6, 1 and 0; 0 when not known.
    int GetMajorVersion() const { return majorVersion_; }
    int GetMinorVersion() const { return minorVersion_; }
    int GetBuildNumber() const { return buildNumber_; }
    // The kernel's release and build text; empty when not known.
    const std::string& GetServicePackText() const { return servicePackText_; }
    // Physical memory available to programs, in bytes.
    std::optional<std::uint64_t> GetAvailableMemory() const { return availableMemory_; }

private:
    void detect(const SystemSources& sources);

    std::string operatingSystemName_;
    int majorVersion_ = 0;
    int minorVersion_ = 0;
    int buildNumber_ = 0;
    std::string servicePackText_;
    std::optional<std::uint64_t> availableMemory_;
};

// k = bytes / 1024: "k KB" below 1000, otherwise "k / 1000 MB" (decimal thousands).
std::string FormatAvailableMemory(std::uint64_t bytes);

// The six lines of the About boxes' system summary, in their order.
std::vector<std::string> systemSummaryLines(const SystemInfo& info);

// The value of a key of os-release text, unquoted; empty when absent.
std::string osReleaseValue(const std::string& osRelease, const std::string& key);
// A "Key:   value kB" entry of /proc/meminfo in bytes.
std::optional<std::uint64_t> meminfoBytes(const std::string& meminfo, const std::string& key);

}  // namespace platform
