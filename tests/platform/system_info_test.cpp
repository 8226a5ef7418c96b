#include <gtest/gtest.h>

#include "platform/system_info.h"

using namespace platform;

namespace {

SystemSources debianSources()
{
    SystemSources s;
    s.unameAvailable = true;
    s.sysname = "Linux";
    s.release = "6.1.0-18-amd64";
    s.version = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)";
    s.osRelease = "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                  "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n";
    s.meminfo = "MemTotal:       24576000 kB\nMemFree:         1000000 kB\nMemAvailable:   12345678 kB\n";
    return s;
}

}  // namespace

TEST(FormatAvailableMemory, KilobytesBelowOneThousandThenDecimalMegabytes)
{
    const struct {
        std::uint64_t kilobytes;
        const char* text;
    } cases[] = {
        {0, "0 KB"},       {999, "999 KB"},         {1000, "1 MB"},
        {1999, "1 MB"},    {512000, "512 MB"},      {16777216, "16777 MB"},
        // Above 4 GiB: no 32-bit wrap.
        {70000000, "70000 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatAvailableMemory(c.kilobytes * 1024), c.text) << c.kilobytes;
    // Bytes below a whole kilobyte are cut off, not rounded.
    EXPECT_EQ(FormatAvailableMemory(1023), "0 KB");
    EXPECT_EQ(FormatAvailableMemory(1000 * 1024 - 1), "999 KB");
}

TEST(SystemInfo, SummaryLinesFromUnameOsReleaseAndMeminfo)
{
    const SystemInfo info(debianSources());
    EXPECT_EQ(systemSummaryLines(info), (std::vector<std::string>{
                                            "Memory available to Windows: 12345 MB",
                                            "Operating System: Debian GNU/Linux 12 (bookworm) - Linux",
                                            "Major version: 6",
                                            "Minor version: 1",
                                            "Build number:  0",
                                            "Service Pack info: 6.1.0-18-amd64 #1 SMP PREEMPT_DYNAMIC Debian "
                                            "6.1.76-1 (2024-02-01)",
                                        }));
}

TEST(SystemInfo, MissingSourcesLeaveUnknownAndZeroes)
{
    const SystemInfo info{SystemSources{}};
    EXPECT_EQ(systemSummaryLines(info), (std::vector<std::string>{
                                            "Memory available to Windows: unknown",
                                            "Operating System: Unknown",
                                            "Major version: 0",
                                            "Minor version: 0",
                                            "Build number:  0",
                                            "Service Pack info: ",
                                        }));
}

TEST(SystemInfo, FallbacksAndOddInput)
{
    SystemSources s = debianSources();
    // No PRETTY_NAME: NAME and VERSION; no MemAvailable (old kernels): MemFree.
    s.osRelease = "NAME='Arch Linux'\nVERSION=\"rolling \\\"edge\\\"\"\n";
    s.meminfo = "MemTotal: 2048 kB\nMemFree: 1536 kB\n";
    s.release = "5.15";
    SystemInfo info(s);
    EXPECT_EQ(info.GetOperatingSystemName(), "Arch Linux rolling \"edge\" - Linux");
    EXPECT_EQ(info.GetAvailableMemory(), std::optional<std::uint64_t>(1536 * 1024));
    EXPECT_EQ(info.GetMajorVersion(), 5);
    EXPECT_EQ(info.GetMinorVersion(), 15);
    EXPECT_EQ(info.GetBuildNumber(), 0);

    // Garbage stays harmless: an overflowing amount and a release without numbers.
    s.meminfo = "MemAvailable: 99999999999999999999999 kB\nMemAvailableX: 5 kB\n";
    s.release = "custom-kernel";
    s.osRelease.clear();
    SystemInfo odd(s);
    EXPECT_EQ(odd.GetAvailableMemory(), std::nullopt);
    EXPECT_EQ(odd.GetMajorVersion(), 0);
    EXPECT_EQ(odd.GetOperatingSystemName(), "Linux");
}

TEST(SystemInfo, TheRunningSystemIsRead)
{
    const SystemInfo info;
    EXPECT_NE(info.GetOperatingSystemName(), "Unknown");
    ASSERT_TRUE(info.GetAvailableMemory().has_value());
    EXPECT_GT(*info.GetAvailableMemory(), 0u);
    EXPECT_GT(info.GetMajorVersion(), 0);
}
