#include "services/internal/DeviceInfo.hpp"
#include "services/internal/Paths.hpp"
#include "support/FakeDeviceFacts.hpp"
#include "support/TestBundle.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace hexora {
namespace {

TEST(DeviceInfo, BuildsOnceFromThePlatformFactsAndPublishesTheDeviceId) {
    test::ScopedDeviceFacts scoped;
    auto& facts = *scoped;
    facts.uuid = "12345678-9ABC-DEF0-1234-56789ABCDEF0";
    facts.model = std::string("Hexbook Pro\0", 12);
    facts.os = "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0)";
    facts.screenList = {{0, 0, 1440, 900, 2}, {1440, -180.5, 1920, 1080, 1}};

    EXPECT_EQ(DeviceInfo::currentDeviceId(), "");
    const DeviceInfo& info = DeviceInfo::shared();
    EXPECT_EQ(DeviceInfo::currentDeviceId(), "12345678-9ABC-DEF0-1234-56789ABCDEF0");
    EXPECT_EQ(info.deviceId, "12345678-9ABC-DEF0-1234-56789ABCDEF0");
    EXPECT_EQ(info.deviceModel, "Hexbook Pro");
    EXPECT_EQ(info.osVersion, "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0)");
    EXPECT_EQ(info.screens,
              "[x:0.00,y:0.00,w:1440.00,h:900.00,s:2.00][x:1440.00,y:-180.50,w:1920.00,h:1080.00,s:1.00]");

    // Later changes of the facts do not reach the built instance.
    facts.uuid = "OTHER";
    EXPECT_EQ(&DeviceInfo::shared(), &info);
    EXPECT_EQ(DeviceInfo::shared().deviceId, "12345678-9ABC-DEF0-1234-56789ABCDEF0");
}

// GCC 12 reports an overlapping copy inside std::string's inlined assignment
// here, a known false positive of -Wrestrict (GCC bug 105651).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST(DeviceInfo, ConcurrentFirstUseBuildsOneInstance) {
    test::ScopedDeviceFacts scoped;
    scoped->uuid = "U";
    std::vector<const DeviceInfo*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &DeviceInfo::shared(); });
    for (auto& thread : threads) thread.join();
    for (const auto* instance : seen) EXPECT_EQ(instance, seen.front());
}
#pragma GCC diagnostic pop

TEST(DeviceInfo, MissingFactsLeaveFieldsEmpty) {
    test::ScopedDeviceFacts scoped;
    const DeviceInfo& info = DeviceInfo::shared();
    EXPECT_EQ(info.deviceId, "");
    EXPECT_EQ(info.deviceModel, "");
    EXPECT_EQ(info.screens, "");
    EXPECT_EQ(DeviceInfo::currentDeviceId(), "");
}

TEST(DeviceInfo, ModelText) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string model;
    };
    const Case cases[] = {
        {"NUL-terminated", std::string("Mac14,2\0", 8), "Mac14,2"},
        {"line feed from the firmware file", "ThinkPad X1\n", "ThinkPad X1"},
        {"controls at both ends, inner spaces kept", std::string("\x01 Model X \t\0", 12), " Model X "},
        {"UTF-8 kept", "Ordinateur \u00E9t\u00E9\n", "Ordinateur \u00E9t\u00E9"},
        {"not UTF-8", "Bad\xC3(\n", ""},
        {"only controls", std::string("\0\0\n", 3), ""},
    };
    for (const auto& c : cases) {
        test::ScopedDeviceFacts scoped;
        scoped->model = c.bytes;
        EXPECT_EQ(DeviceInfo::shared().deviceModel, c.model) << c.name;
    }
}

TEST(DeviceInfo, FreeDiskSpaceFallsBackToZero) {
    test::ScopedDeviceFacts scoped;
    scoped->freeBytes["/data/storage"] = 123456789;
    EXPECT_EQ(DeviceInfo::freeDiskSpace("/data/storage"), 123456789);
    EXPECT_EQ(DeviceInfo::freeDiskSpace("/unreadable"), 0);
}

TEST(DeviceInfo, FreeDiskSpaceIsThatOfTheStorageFolder) {
    test::TestBundle bundle;
    std::filesystem::create_directories(storagePath());
    test::ScopedDeviceFacts scoped;
    EXPECT_EQ(DeviceInfo::freeDiskSpace(), 0);
    scoped->freeBytes[storagePath()] = 987654321;
    EXPECT_EQ(DeviceInfo::freeDiskSpace(), 987654321);
}

TEST(DeviceInfo, FreeDiskSpaceBeforeTheStorageFolderExistsIsThatOfItsVolume) {
    test::TestBundle bundle;
    std::filesystem::remove_all(storagePath());
    test::ScopedDeviceFacts scoped;
    scoped->freeBytes[storagePath().parent_path()] = 555;
    EXPECT_EQ(DeviceInfo::freeDiskSpace(), 555);
}

TEST(DeviceInfo, FreeMemoryAddsEveryPageKind) {
    test::ScopedDeviceFacts scoped;
    EXPECT_EQ(DeviceInfo::freeMemory(), 0);
    scoped->memory = platform::MemoryStatistics{1, 20, 300, 4000, 50000};
    EXPECT_EQ(DeviceInfo::freeMemory(), 54321);
}

}  // namespace
}  // namespace hexora
