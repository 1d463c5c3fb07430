#include "services/file/LoadedSetting.hpp"
#include "services/file/Setting.hpp"
#include "services/internal/Paths.hpp"

#include "support/LogCapture.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace hexora {
namespace {
namespace fs = std::filesystem;

const SettingFormat Defaults{};

SettingFormat sampleRecord() {
    SettingFormat record;
    record.check_file_reasons = {{"Hexora.app/Contents/MacOS/Hexora", 3, std::nullopt}, {"data.pak", -2, "hash mismatch"}};
    record.check_files = true;
    record.api_dsa_index = 1;
    record.cdn_dsa_index = 7;
    return record;
}

// Files that must not load: each is deleted, its folder (re)made, and the
// record keeps the defaults.
TEST(SettingTest, InvalidFilesAreDeletedAndDefaultsKept) {
    const struct {
        const char* label;
        const char* content;
    } cases[] = {
        {"empty file", ""},
        {"not JSON", "check_files=true"},
        {"truncated", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":1,)"},
        {"top level is a list", R"([{"check_file_reasons":[],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1}])"},
        {"missing check_files", R"({"check_file_reasons":[],"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"missing check_file_reasons", R"({"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"missing api_dsa_index", R"({"check_file_reasons":[],"check_files":true,"cdn_dsa_index":1})"},
        {"missing cdn_dsa_index", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":1})"},
        {"check_files as a number", R"({"check_file_reasons":[],"check_files":1,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"index as a text", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":"1","cdn_dsa_index":1})"},
        {"index as a fraction", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":1.5,"cdn_dsa_index":1})"},
        {"index as null", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":null,"cdn_dsa_index":1})"},
        {"index above 64 bits", R"({"check_file_reasons":[],"check_files":true,"api_dsa_index":9223372036854775808,"cdn_dsa_index":1})"},
        {"reasons as an object", R"({"check_file_reasons":{},"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"reason entry not an object", R"({"check_file_reasons":["a"],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"reason without name", R"({"check_file_reasons":[{"reason":1}],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"reason without reason", R"({"check_file_reasons":[{"name":"a"}],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
        {"reason name as a number", R"({"check_file_reasons":[{"name":5,"reason":1}],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        const fs::path file = dir.write("storage/.launcher.json", c.content);
        Setting setting(Setting::atPath, file);
        EXPECT_EQ(setting.setting(), Defaults);
        EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
        EXPECT_TRUE(fs::is_directory(dir / "storage"));
        EXPECT_FALSE(setting.load());
    }
}

// A valid settings file padded to a size: one of MaxFileBytes loads, one
// byte more is far beyond what the launcher writes and is a broken file
// (deleted, defaults kept), as is a 400 MB file, which is not read whole.
TEST(SettingTest, AFileLargerThanAnyTheLauncherWritesIsBroken) {
    const std::string head = R"({"check_file_reasons":[{"name":"a","reason":1,"message":")";
    const std::string tail = R"("}],"check_files":true,"api_dsa_index":1,"cdn_dsa_index":1})";
    const auto padded = [&](std::size_t size) { return head + std::string(size - head.size() - tail.size(), 'm') + tail; };
    for (const std::size_t size : {std::size_t{Setting::MaxFileBytes}, std::size_t{Setting::MaxFileBytes} + 1}) {
        SCOPED_TRACE(size);
        test::TempDir dir;
        const fs::path file = dir.write("storage/.launcher.json", padded(size));
        Setting setting(Setting::atPath, file);
        const bool loads = size <= Setting::MaxFileBytes;
        EXPECT_EQ(setting.setting().cdn_dsa_index, loads ? 1 : 0);
        EXPECT_EQ(fs::exists(file), loads);
    }
    test::TempDir dir;
    const fs::path file = dir.write("storage/.launcher.json", head);
    fs::resize_file(file, 400'000'000);
    Setting setting(Setting::atPath, file);
    EXPECT_EQ(setting.setting(), Defaults);
    EXPECT_FALSE(fs::exists(file));
}

TEST(SettingTest, MissingFileCreatesTheStorageFolders) {
    test::TempDir dir;
    const fs::path file = dir / "app/storage/.launcher.json";
    Setting setting(Setting::atPath, file);
    EXPECT_EQ(setting.setting(), Defaults);
    EXPECT_TRUE(fs::is_directory(dir / "app/storage"));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(setting.load());
}

TEST(SettingTest, FolderAtThePathIsDeletedWithItsContents) {
    test::TempDir dir;
    dir.write("storage/.launcher.json/inner/file.txt", "x");
    Setting setting(Setting::atPath, dir / "storage/.launcher.json");
    EXPECT_EQ(setting.setting(), Defaults);
    EXPECT_FALSE(fs::exists(dir / "storage/.launcher.json"));
    EXPECT_TRUE(fs::is_directory(dir / "storage"));
}

TEST(SettingTest, FailedReloadKeepsTheRecordInUse) {
    test::TempDir dir;
    const fs::path file = dir / ".launcher.json";
    Setting setting(Setting::atPath, file);
    setting.setSetting(sampleRecord());
    dir.write(".launcher.json", "{broken");
    EXPECT_FALSE(setting.load());
    EXPECT_EQ(setting.setting(), sampleRecord());
}

TEST(SettingTest, FailureToDeleteIsLoggedAsWarning) {
    test::TempDir dir;
    dir.write("blocker", "a file where the storage folder should be");
    test::LogCapture log;
    Setting setting(Setting::atPath, dir / "blocker/.launcher.json");
    EXPECT_EQ(setting.setting(), Defaults);
    EXPECT_TRUE(log.contains("Failed to delete invalid setting file or create directory: "));
}

TEST(SettingTest, ValidFileLoadsWithLenientMessageAndExtraKeys) {
    test::TempDir dir;
    const fs::path file = dir.write(".launcher.json", R"({
        "extra": {"ignored": true},
        "check_file_reasons": [
            {"name": "a", "reason": 1, "message": 404},
            {"name": "b", "reason": -9223372036854775808, "message": null},
            {"name": "c/d", "reason": 2, "message": "kept", "code": 5}
        ],
        "check_files": true,
        "api_dsa_index": 9223372036854775807,
        "cdn_dsa_index": -1
    })");
    Setting setting(Setting::atPath, file);
    SettingFormat expected;
    expected.check_file_reasons = {{"a", 1, std::nullopt}, {"b", INT64_MIN, std::nullopt}, {"c/d", 2, "kept"}};
    expected.check_files = true;
    expected.api_dsa_index = INT64_MAX;
    expected.cdn_dsa_index = -1;
    EXPECT_EQ(setting.setting(), expected);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(setting.load());
}

TEST(SettingTest, WritesTheDocumentedFormAndReadsItBack) {
    test::TempDir dir;
    const fs::path file = dir / ".launcher.json";
    Setting writer(Setting::atPath, file);
    writer.setSetting(sampleRecord());
    ASSERT_TRUE(writer.write());
    EXPECT_EQ(test::readFile(file),
              R"({"check_file_reasons":[{"name":"Hexora.app\/Contents\/MacOS\/Hexora","reason":3},)"
              R"({"name":"data.pak","reason":-2,"message":"hash mismatch"}],)"
              R"("check_files":true,"api_dsa_index":1,"cdn_dsa_index":7})");

    Setting reader(Setting::atPath, file);
    EXPECT_EQ(reader.setting(), sampleRecord());
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SettingTest, WriteReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    const fs::path file = dir.write(".launcher.json", sampleRecord().encode());
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, mode);
    Setting setting(Setting::atPath, file);
    ASSERT_EQ(setting.setting(), sampleRecord());

    setting.setApiDsaIndex(0);
    ASSERT_TRUE(setting.write());
    auto expected = sampleRecord();
    expected.api_dsa_index = 0;
    EXPECT_EQ(SettingFormat::decode(test::readFile(file)), expected);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, mode);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{".launcher.json"});
}

TEST(SettingTest, FailedWriteLeavesWhatWasThere) {
    test::TempDir dir;
    Setting intoMissingFolder(Setting::atPath, dir / "gone/.launcher.json");
    fs::remove_all(dir / "gone");
    intoMissingFolder.setSetting(sampleRecord());
    EXPECT_FALSE(intoMissingFolder.write());
    EXPECT_FALSE(fs::exists(dir / "gone"));

    // A folder that appeared at the path after loading cannot be replaced by the file.
    Setting ontoFolder(Setting::atPath, dir / "storage/.launcher.json");
    dir.write("storage/.launcher.json/keep.txt", "keep");
    ontoFolder.setSetting(sampleRecord());
    EXPECT_FALSE(ontoFolder.write());
    EXPECT_EQ(test::readFile(dir / "storage/.launcher.json/keep.txt"), "keep");
    EXPECT_EQ(namesIn(dir / "storage"), std::vector<std::string>{".launcher.json"});
}

TEST(SettingTest, AFileNameIsTakenInTheStorageFolder) {
    test::TempDir dir;
    Paths::useBundleForTesting(dir / "Launcher.app");
    const fs::path file = dir.write("Launcher.app/storage/.launcher.json",
                                    R"({"check_file_reasons":[],"check_files":false,"api_dsa_index":1,"cdn_dsa_index":0})");

    const Setting setting(".launcher.json");
    EXPECT_EQ(setting.path(), storagePath() / ".launcher.json");
    EXPECT_TRUE(fs::equivalent(setting.path(), file));
    EXPECT_EQ(setting.setting().api_dsa_index, 1);
    Paths::resetForTesting();
}

TEST(SettingTest, LoadedSettingIsSharedAndReset) {
    resetLoadedSetting();
    EXPECT_EQ(loadedSetting(), nullptr);
    storeApiDsaIndex(1);  // nothing loaded: no effect, no crash

    test::TempDir dir;
    auto setting = std::make_shared<Setting>(Setting::atPath, dir / ".launcher.json");
    setLoadedSetting(setting);
    storeApiDsaIndex(1);
    storeCdnDsaIndex(5);
    EXPECT_EQ(loadedSetting()->setting().api_dsa_index, 1);
    EXPECT_EQ(loadedSetting()->setting().cdn_dsa_index, 5);
    resetLoadedSetting();
    EXPECT_EQ(loadedSetting(), nullptr);
}

// Download units store the file-domain index from their own threads while the
// worker thread reads and writes the record.
TEST(SettingTest, IndicesMayBeStoredFromManyThreads) {
    test::TempDir dir;
    setLoadedSetting(std::make_shared<Setting>(Setting::atPath, dir / ".launcher.json"));
    std::atomic<bool> go{false};
    std::vector<std::thread> units;
    for (int t = 0; t < 4; ++t) {
        units.emplace_back([&go, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 500; ++i) {
                storeCdnDsaIndex(t);
                storeApiDsaIndex(t);
            }
        });
    }
    go = true;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(loadedSetting()->write());
        const auto record = loadedSetting()->setting();
        EXPECT_GE(record.cdn_dsa_index, 0);
        EXPECT_LT(record.cdn_dsa_index, 4);
    }
    for (auto& unit : units) unit.join();
    EXPECT_TRUE(SettingFormat::decode(test::readFile(dir / ".launcher.json")).has_value());
    resetLoadedSetting();
}

}  // namespace
}  // namespace hexora
