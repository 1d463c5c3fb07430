#include "platform/SystemDeviceFacts.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace hexora::platform {
namespace {

// The device id is derived per application from the machine id, which itself
// is never sent: known answers of HMAC-SHA256 (keyed by the id's bytes, over
// the application's identifier) marked as a version 4 UUID.
TEST(SystemDeviceFacts, DeviceIdIsDerivedPerApplicationFromTheMachineId) {
    const std::string launcher = "com.tarq.hexora.mac.launcher";
    struct Case {
        std::string machineId;
        std::string applicationId;
        std::optional<std::string> deviceId;
    };
    const Case cases[] = {
        {"0123456789abcdef0123456789abcdef\n", launcher, "48E990DD-CFB0-4295-991D-419766FA1552"},
        {"  0123456789ABCDEF0123456789abcdef  ", launcher, "48E990DD-CFB0-4295-991D-419766FA1552"},
        {"0123456789abcdef0123456789abcdef", "com.tarq.hexora.mac.game", "CF58F6DD-7955-42C0-8B9C-EC1914A4A6CD"},
        {"00112233445566778899aabbccddeeff", launcher, "83E1709E-6F02-4FC9-8681-83798FF46910"},
        {"", launcher, std::nullopt},
        {"uninitialized\n", launcher, std::nullopt},
        {"0123456789abcdef0123456789abcde\n", launcher, std::nullopt},
        {"0123456789abcdef0123456789abcdeg", launcher, std::nullopt},
        {"0123456789abcdef0123456789abcdef0", launcher, std::nullopt},
        {"+123456789abcdef0123456789abcdef", launcher, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(applicationDeviceId(c.machineId, c.applicationId), c.deviceId)
            << c.machineId << " " << c.applicationId;
    }
}

TEST(SystemDeviceFacts, PrettyNameFromOsRelease) {
    struct Case {
        std::string text;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single Quoted'\n", "Single Quoted"},
        {"PRETTY_NAME=Plain\n", "Plain"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"\n", "Say \"hi\" \\o/"},
        {"# PRETTY_NAME=\"commented\"\nNAME=x\n", std::nullopt},
        {"PRETTY_NAME=\"\"\n", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(prettyNameFromOsRelease(c.text), c.name) << c.text;
}

TEST(SystemDeviceFacts, MemoryFromMeminfo) {
    const auto statistics = memoryFromMeminfo(
        "MemTotal:       16000000 kB\nMemFree:         1000 kB\nMemAvailable:    9000 kB\n"
        "Active:          2000 kB\nInactive:        3000 kB\nUnevictable:       4 kB\nHugePages_Total: 0\n");
    ASSERT_TRUE(statistics);
    EXPECT_EQ(statistics->freeBytes, 1000u * 1024);
    EXPECT_EQ(statistics->activeBytes, 2000u * 1024);
    EXPECT_EQ(statistics->inactiveBytes, 3000u * 1024);
    EXPECT_EQ(statistics->speculativeBytes, 0u);
    EXPECT_EQ(statistics->wiredBytes, 4u * 1024);

    EXPECT_FALSE(memoryFromMeminfo("MemTotal: 1 kB\nMemFree: 1 kB\n"));
    EXPECT_FALSE(memoryFromMeminfo(""));
}

TEST(SystemDeviceFacts, ReadsItsFiles) {
    test::TempDir dir;
    SystemDeviceFacts::Files files;
    files.machineId = dir.write("machine-id", "00112233445566778899aabbccddeeff\n");
    files.productName = dir.write("product_name", "Test Board\n");
    files.osRelease = {dir / "missing-os-release", dir.write("os-release", "PRETTY_NAME=\"Test Linux 1\"\n")};
    files.meminfo = dir.write("meminfo", "MemFree: 1 kB\nActive: 2 kB\nInactive: 3 kB\n");
    SystemDeviceFacts facts({[] { return std::vector<ScreenFrame>{{0, 0, 800, 600, 1}}; }}, files);

    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    // The launcher's own id, not the machine id (00112233-4455-6677-8899-AABBCCDDEEFF).
    EXPECT_EQ(facts.platformUuid(), "83E1709E-6F02-4FC9-8681-83798FF46910");
    EXPECT_EQ(facts.modelBytes(), "Test Board\n");
    EXPECT_EQ(facts.osVersion(), std::string("Test Linux 1 (kernel ") + names.release + ")");
    EXPECT_EQ(facts.screens().size(), 1u);
    ASSERT_TRUE(facts.memoryStatistics());
    EXPECT_EQ(facts.memoryStatistics()->inactiveBytes, 3u * 1024);
    const auto free = facts.freeDiskBytes(dir.path());
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
}

TEST(SystemDeviceFacts, MissingFilesAndNoShell) {
    test::TempDir dir;
    SystemDeviceFacts::Files files;
    files.machineId = dir / "none";
    files.productName = dir / "none";
    files.osRelease = {dir / "none"};
    files.meminfo = dir / "none";
    SystemDeviceFacts facts(SystemDeviceFacts::ScreenSupplier{}, files);
    EXPECT_FALSE(facts.platformUuid());
    EXPECT_FALSE(facts.modelBytes());
    EXPECT_EQ(facts.osVersion().rfind("Linux (kernel ", 0), 0u);
    EXPECT_TRUE(facts.screens().empty());
    EXPECT_FALSE(facts.memoryStatistics());
    EXPECT_FALSE(facts.freeDiskBytes(dir / "no" / "such" / "folder"));
}

}  // namespace
}  // namespace hexora::platform
