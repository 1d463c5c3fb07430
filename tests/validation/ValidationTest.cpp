#include "workers/common/validate/CCheckValidationResult.hpp"
#include "workers/common/validate/CValidation.hpp"

#include "engine/LauncherError.hpp"
#include "services/file/SchemeFormat.hpp"
#include "services/internal/SHA1.hpp"
#include "services/rum/RumApi.hpp"
#include "support/EngineHarness.hpp"
#include "support/PendingRecords.hpp"
#include "support/RunState.hpp"
#include "support/TempDir.hpp"
#include "support/TestClock.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;

namespace {

class ValidationTest : public test::RunStateFixture {
public:  // the case tables arrange through the fixture
    // A file below the game bundle, listed in the scheme the way the game's
    // scheme lists it (from above the bundle: "Hexora.app/Contents/...").
    void addFile(const std::string& directory, const std::string& name, const std::string& content) {
        const fs::path path = bundle / CValidation::localDirectory(directory) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        scheme.files.push_back({name, directory, *SHA1::sha1HexOfPath(path)});
    }

    void writeScheme() const {
        fs::create_directories(schemePath.parent_path());
        std::ofstream(schemePath, std::ios::binary) << scheme.encode();
    }

    std::shared_ptr<CValidation> validation(bool skipMissing = false) const {
        return std::make_shared<CValidation>(harness.thread, schemePath.string(), bundle, brokenList, skipMissing);
    }

    std::optional<bool> checkResult() const {
        std::optional<bool> seen;
        CCheckValidationResult check(harness.thread, brokenList, [&](bool passed) { seen = passed; });
        check.work();
        return seen;
    }

    // Five files, as the launcher and game schemes hold them.
    void addFiveFiles() {
        addFile("Hexora.app/Contents/MacOS", "Hexora", "binary");
        addFile("Hexora.app/Contents/Resources", "a.dat", "aaaa");
        addFile("Hexora.app/Contents/Resources", "b.dat", "bbbb");
        addFile("Hexora.app/Contents/Resources/sub", "c.dat", "cccc");
        addFile("Hexora.app/Contents", "Info.plist", "<plist/>");
    }

    test::ScopedTestClock clock;
    test::EngineHarness harness;
    test::TempDir dir;
    fs::path bundle = dir / "storage/Hexora.app";
    fs::path schemePath = dir / "storage/gameScheme.json";
    fs::path brokenList = dir / "storage/gameRetry.json";
    SchemeFormat scheme{"1.2.3", "header-text", {}};
};

TEST_F(ValidationTest, TwoAlteredFilesOfFiveGiveExactlyTheseTwoInTheList) {
    addFiveFiles();
    writeScheme();
    std::ofstream(bundle / "Contents/Resources/a.dat") << "tampered";
    std::ofstream(bundle / "Contents/Resources/sub/c.dat") << "tampered too";
    dir.write("storage/Hexora.app/Contents/Resources/unlisted.txt", "kept after a failure");

    validation()->work();

    const std::string body = test::readFile(brokenList);
    EXPECT_THAT(body, Not(HasSubstr("\\/")));
    const auto list = SchemeFormat::decode(body);
    ASSERT_TRUE(list) << body;
    EXPECT_EQ(list->version, "1.2.3");
    EXPECT_EQ(list->header, "header-text");
    EXPECT_EQ(list->files, (std::vector<SchemeFileInfo>{scheme.files[1], scheme.files[3]}));
    EXPECT_EQ(list->files[1].directory, "Hexora.app/Contents/Resources/sub");
    EXPECT_TRUE(fs::exists(bundle / "Contents/Resources/unlisted.txt"));
    EXPECT_EQ(checkResult(), false);

    const auto records = Rum::Api::takePendingRecords();
    EXPECT_EQ(test::withEvent(records, "hash mismatch").size(), 2u);
    EXPECT_TRUE(test::withEvent(records, "completed").empty());
    EXPECT_EQ(harness.takeStates(), (std::vector<LauncherState>{LauncherState::ValidateFiles}));
}

TEST_F(ValidationTest, HashesCompareAsExactText) {
    addFile("Hexora.app/Contents/MacOS", "Hexora", "binary");
    addFile("Hexora.app/Contents", "Info.plist", "<plist/>");
    std::string& hash = scheme.files[0].hash;
    std::transform(hash.begin(), hash.end(), hash.begin(), [](unsigned char c) { return std::tolower(c); });
    writeScheme();

    validation()->work();

    const auto list = SchemeFormat::decode(test::readFile(brokenList));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->files, std::vector<SchemeFileInfo>{scheme.files[0]});
    const auto mismatch = test::withEvent(Rum::Api::takePendingRecords(), "hash mismatch");
    ASSERT_EQ(mismatch.size(), 1u);
    EXPECT_EQ(mismatch[0].dataValue("hashes"), *SHA1::sha1HexOfPath(bundle / "Contents/MacOS/Hexora") + " vs " + hash);
}

TEST_F(ValidationTest, MissingListedFileFailsUnlessTheSkipFlagIsSet) {
    addFiveFiles();
    writeScheme();
    fs::remove(bundle / "Contents/Resources/b.dat");
    fs::create_directories(bundle / "Contents/MacOS/Hexora.tmp");
    fs::remove(bundle / "Contents/MacOS/Hexora");
    fs::rename(bundle / "Contents/MacOS/Hexora.tmp", bundle / "Contents/MacOS/Hexora");  // a folder in its place

    validation()->work();

    const auto list = SchemeFormat::decode(test::readFile(brokenList));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->files, (std::vector<SchemeFileInfo>{scheme.files[0], scheme.files[2]}));
    const auto notFound = test::withEvent(Rum::Api::takePendingRecords(), "target not found");
    ASSERT_EQ(notFound.size(), 2u);
    EXPECT_EQ(checkResult(), false);

    // The unpacked smart-patch package brings only some files: skipped, pass.
    fs::remove(brokenList);
    validation(true)->work();
    EXPECT_FALSE(fs::exists(brokenList));
    EXPECT_EQ(checkResult(), true);
    EXPECT_TRUE(test::withEvent(Rum::Api::takePendingRecords(), "target not found").empty());
}

TEST_F(ValidationTest, PassRemovesStaleListAndUnlistedFilesBelowContents) {
    addFiveFiles();
    writeScheme();
    dir.write("storage/gameRetry.json", "{\"broken\":\"scheme not found\"}");
    dir.write("storage/Hexora.app/Contents/Resources/stale.dat", "left by an old version");
    dir.write("storage/Hexora.app/Contents/Resources/sub/deeper/old.dat", "old");
    dir.write("storage/Hexora.app/outside-contents.txt", "not below Contents");

    validation()->work();

    EXPECT_FALSE(fs::exists(brokenList));
    EXPECT_EQ(checkResult(), true);
    EXPECT_FALSE(fs::exists(bundle / "Contents/Resources/stale.dat"));
    EXPECT_FALSE(fs::exists(bundle / "Contents/Resources/sub/deeper/old.dat"));
    EXPECT_TRUE(fs::is_directory(bundle / "Contents/Resources/sub/deeper"));
    EXPECT_TRUE(fs::exists(bundle / "outside-contents.txt"));
    for (const auto& info : scheme.files)
        EXPECT_TRUE(fs::exists(bundle / CValidation::localDirectory(info.directory) / info.file)) << info.file;

    const auto records = Rum::Api::takePendingRecords();
    const auto completed = test::withEvent(records, "completed");
    ASSERT_EQ(completed.size(), 1u);
    EXPECT_EQ(completed[0].dataValue("targetPath"), bundle.string());
    const auto cleanup = test::withEvent(records, "cleanup");
    ASSERT_EQ(cleanup.size(), 1u);
    const std::string notes = cleanup[0].dataValue("clearedFiles").value_or("");
    EXPECT_THAT(notes, HasSubstr("[o] " + (bundle / "Contents/Resources/stale.dat").string()));
    EXPECT_THAT(notes, HasSubstr("[o] " + (bundle / "Contents/Resources/sub/deeper/old.dat").string()));
    const auto events = harness.takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().progress, 100.0);
}

TEST_F(ValidationTest, SchemeOrTargetMissingWriteTheLiteralBodies) {
    struct Case {
        const char* label;
        std::function<void(ValidationTest&)> arrange;
        const char* body;
    };
    const Case cases[] = {
        {"no scheme file", [](ValidationTest&) {}, "{\"broken\":\"scheme not found\"}"},
        {"undecodable scheme", [](ValidationTest& t) { t.dir.write("storage/gameScheme.json", "{\"version\":1}"); },
         "{\"broken\":\"scheme not found\"}"},
        {"scheme without files",
         [](ValidationTest& t) {
             t.writeScheme();
             fs::create_directories(t.bundle);
         },
         "{\"broken\":\"scheme not found\"}"},
        {"no target folder",
         [](ValidationTest& t) {
             t.scheme.files.push_back({"Hexora", "Hexora.app/Contents/MacOS", "00"});
             t.writeScheme();
         },
         "{\"broken\":\"path not found\"}"},
        {"file in place of the target",
         [](ValidationTest& t) {
             t.scheme.files.push_back({"Hexora", "Hexora.app/Contents/MacOS", "00"});
             t.writeScheme();
             t.dir.write("storage/Hexora.app", "a file");
         },
         "{\"broken\":\"path not found\"}"},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir / "storage");
        fs::create_directories(dir / "storage");
        scheme.files.clear();
        dir.write("storage/gameRetry.json", "an older list, replaced");
        c.arrange(*this);

        validation()->work();

        EXPECT_EQ(test::readFile(brokenList), c.body) << c.label;
        EXPECT_EQ(checkResult(), false) << c.label;
        EXPECT_TRUE(harness.takeEvents().empty()) << c.label;
        EXPECT_TRUE(Rum::Api::takePendingRecords().empty()) << c.label;
    }
    EXPECT_EQ(std::string(CValidation::SchemeNotFoundBody).size(), 29u);
    EXPECT_EQ(std::string(CValidation::PathNotFoundBody).size(), 27u);
}

TEST_F(ValidationTest, UnwritableVerdictFailsWithTheTableRow) {
    scheme.files.push_back({"Hexora", "Hexora.app/Contents/MacOS", "00"});
    writeScheme();
    // The list's folder is missing: neither body can be written.
    const fs::path unwritable = dir / "no-such-folder/gameRetry.json";
    struct Case {
        const char* label;
        fs::path target;
        const char* event;
        std::string message;
    };
    fs::create_directories(bundle / "Contents/MacOS");
    dir.write("storage/Hexora.app/Contents/MacOS/Hexora", "x");
    const Case cases[] = {
        {"path not found", dir / "missing.app", "path not found", (dir / "missing.app").string() + " not found"},
        {"broken list save", bundle, "broken list file save", "failed to save broken list file"},
    };
    for (const auto& c : cases) {
        CValidation worker(harness.thread, schemePath.string(), c.target, unwritable);
        try {
            worker.work();
            ADD_FAILURE() << c.label << ": no error";
        } catch (const LauncherError& error) {
            EXPECT_EQ(error.type, "CValidation") << c.label;
            EXPECT_EQ(error.message, c.message) << c.label;
            EXPECT_EQ(error.state, LauncherState::Failed_Validation) << c.label;
            ASSERT_TRUE(error.rum) << c.label;
            EXPECT_EQ(error.rum->Event, c.event) << c.label;
            EXPECT_EQ(error.rum->LogLevel, "ERROR") << c.label;
        }
    }
}

TEST(ValidationDirectory, BundlePrefixRuleRemovesEveryOccurrenceOnlyWhenLeading) {
    struct Case {
        const char* directory;
        const char* local;
    };
    const Case cases[] = {
        {"Hexora.app/Contents/MacOS", "Contents/MacOS"},
        {"Hexora.app/", ""},
        {"Hexora.app/Contents/Hexora.app/Frameworks", "Contents/Frameworks"},
        {"Contents/Hexora.app/Frameworks", "Contents/Hexora.app/Frameworks"},
        {"Hexora.app", "Hexora.app"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CValidation::localDirectory(c.directory), c.local) << c.directory;
}

TEST_F(ValidationTest, EntryDirectlyInTheBundleFolderIsFoundUnderTheTarget) {
    addFile("Hexora.app/", "top.txt", "top");
    writeScheme();
    validation()->work();
    EXPECT_FALSE(fs::exists(brokenList));
}

// Watches one file for opens (inotify), to show that a run never opened it.
class OpenWatch {
public:
    explicit OpenWatch(const fs::path& file) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) ::inotify_add_watch(fd_, file.c_str(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ready() const { return fd_ >= 0; }
    bool sawOpen() const {
        alignas(inotify_event) char buffer[4096];
        return ::read(fd_, buffer, sizeof buffer) > 0;
    }

private:
    int fd_;
};

// Entries that climb out of the folder, name an absolute path, or reach a
// file through a link that points out: each fails (and enters the list),
// the outside file is never opened, and no record carries its hash, also
// though the scheme gives that file's true hash.
TEST_F(ValidationTest, EntriesReachingOutsideTheFolderFailWithoutOpeningAnything) {
    addFile("Hexora.app/Contents/MacOS", "Hexora", "binary");
    const fs::path secret = dir.write("storage/secret.txt", "outside the bundle");
    const std::string secretHash = *SHA1::sha1HexOfPath(secret);
    fs::create_symlink(secret, bundle / "Contents/MacOS/linked.txt");
    scheme.files.push_back({"secret.txt", "Hexora.app/Contents/../..", secretHash});
    scheme.files.push_back({"../../secret.txt", "Hexora.app/Contents", secretHash});
    scheme.files.push_back({"secret.txt", secret.parent_path().string(), secretHash});
    scheme.files.push_back({secret.string(), "", secretHash});
    scheme.files.push_back({"linked.txt", "Hexora.app/Contents/MacOS", secretHash});
    writeScheme();
    const OpenWatch watch(secret);
    ASSERT_TRUE(watch.ready());

    for (const bool skipMissing : {false, true}) {
        SCOPED_TRACE(skipMissing ? "missing files skipped" : "missing files fail");
        fs::remove(brokenList);
        validation(skipMissing)->work();

        const auto list = SchemeFormat::decode(test::readFile(brokenList));
        ASSERT_TRUE(list);
        const std::vector<SchemeFileInfo> outside(scheme.files.begin() + 1, scheme.files.end() - (skipMissing ? 1 : 0));
        EXPECT_EQ(list->files, outside);
        EXPECT_FALSE(watch.sawOpen());
        for (const auto& record : Rum::Api::takePendingRecords())
            EXPECT_THAT(record.Data ? record.Data->dump() : "", Not(HasSubstr(secretHash))) << record.Event;
    }
    EXPECT_EQ(test::readFile(secret), "outside the bundle");
}

// After a passing run the clean-up deletes unlisted regular files below
// Contents, but never through a link: a linked Contents, a linked folder
// inside it and a link to a file all leave what they point at untouched.
TEST_F(ValidationTest, CleanUpThroughLinksDeletesNothingOutsideTheFolder) {
    struct Case {
        const char* label;
        std::function<void(ValidationTest&, const fs::path& outside)> link;
    };
    const Case cases[] = {
        {"Contents is a link",
         [](ValidationTest& t, const fs::path& outside) { fs::create_directory_symlink(outside, t.bundle / "Contents"); }},
        {"a folder below Contents is a link",
         [](ValidationTest& t, const fs::path& outside) {
             fs::create_directories(t.bundle / "Contents/Resources");
             fs::create_directory_symlink(outside, t.bundle / "Contents/Resources/linked");
         }},
        {"a file below Contents is a link",
         [](ValidationTest& t, const fs::path& outside) {
             fs::create_directories(t.bundle / "Contents");
             fs::create_symlink(outside / "keep.dat", t.bundle / "Contents/keep-link.dat");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(dir / "storage");
        scheme.files.clear();
        addFile("Hexora.app/", "top.txt", "listed, outside Contents");
        writeScheme();
        const fs::path outside = dir / "storage/outside";
        dir.write("storage/outside/keep.dat", "not part of the bundle");
        dir.write("storage/outside/deeper/keep.dat", "nor this");
        c.link(*this, outside);
        const auto linksBefore = [&] {
            std::vector<fs::path> links;
            for (fs::recursive_directory_iterator it(bundle), end; it != end; ++it)
                if (it->is_symlink()) links.push_back(it->path());
            return links;
        }();

        validation()->work();

        EXPECT_FALSE(fs::exists(brokenList));
        EXPECT_EQ(test::readFile(outside / "keep.dat"), "not part of the bundle");
        EXPECT_EQ(test::readFile(outside / "deeper/keep.dat"), "nor this");
        for (const auto& link : linksBefore) EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_TRUE(test::withEvent(Rum::Api::takePendingRecords(), "cleanup").empty());
    }
}

// A worker that cancels the run and then validates, as if the user quit
// just before the validation looked at the tree.
class CancelThenValidate : public Worker::Worker {
public:
    CancelThenValidate(std::shared_ptr<WorkerThread> thread, std::shared_ptr<CValidation> validation)
        : Worker(std::move(thread)), validation_(std::move(validation)) {}
    void work() override {
        workerThread()->cancel();
        validation_->work();
    }

private:
    std::shared_ptr<CValidation> validation_;
};

TEST_F(ValidationTest, CancelledBeforeTheCheckReturnsWithoutWriting) {
    addFiveFiles();
    writeScheme();
    std::ofstream(bundle / "Contents/Resources/a.dat") << "tampered";
    harness.thread->workers().append(std::make_shared<CancelThenValidate>(harness.thread, validation()));
    harness.run();
    EXPECT_FALSE(fs::exists(brokenList));
    EXPECT_EQ(harness.takeStates(), (std::vector<LauncherState>{}));
}

// The run is held at its first look at the units (the first sleep anyone
// asks for) while the test cancels it, so the cancel comes while the run is
// under way without depending on how fast the files hash.
// It then ends without a list, a clean-up or a "completed" record, though a
// file differs.
TEST_F(ValidationTest, CancelledDuringTheRunReturnsWithoutWriting) {
    addFiveFiles();
    for (int i = 0; i < 200; ++i) addFile("Hexora.app/Contents/Resources/many", std::to_string(i), std::to_string(i));
    writeScheme();
    std::ofstream(bundle / "Contents/Resources/a.dat") << "tampered";
    dir.write("storage/Hexora.app/Contents/unlisted.txt", "stays");
    std::promise<void> held;
    std::promise<void> released;
    test::ScopedTestClock clock(0.0);
    clock->onSleep([&held, released = released.get_future().share()](int sleepsBefore) {
        if (sleepsBefore > 0) return;
        held.set_value();
        released.wait();
    });
    auto worker = validation();
    harness.thread->workers().append(worker);
    harness.thread->start();

    held.get_future().wait();
    EXPECT_EQ(worker->validationRequests.size(), 205u);
    harness.thread->cancel();
    released.set_value();
    harness.thread->join();

    EXPECT_FALSE(fs::exists(brokenList));
    EXPECT_TRUE(fs::exists(bundle / "Contents/unlisted.txt"));
    const auto records = Rum::Api::takePendingRecords();
    EXPECT_TRUE(test::withEvent(records, "completed").empty());
    EXPECT_TRUE(test::withEvent(records, "cleanup").empty());
}

// A pipe listed as a file fails its entry at once: nothing waits for a
// writer (devices: see the hashing tests).
TEST_F(ValidationTest, APipeListedAsAFileFailsAtOnce) {
    addFile("Hexora.app/Contents/MacOS", "Hexora", "binary");
    const std::string emptyHash = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
    ASSERT_EQ(::mkfifo((bundle / "Contents/MacOS/pipe").c_str(), 0644), 0);
    scheme.files.push_back({"pipe", "Hexora.app/Contents/MacOS", emptyHash});
    writeScheme();

    validation()->work();

    const auto list = SchemeFormat::decode(test::readFile(brokenList));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->files, std::vector<SchemeFileInfo>{scheme.files[1]});
    const auto mismatch = test::withEvent(Rum::Api::takePendingRecords(), "hash mismatch");
    ASSERT_EQ(mismatch.size(), 1u);
    EXPECT_EQ(mismatch[0].dataValue("hashes"), "NULL vs " + emptyHash);
}

TEST_F(ValidationTest, ResultCheckWithoutHandlerDoesNothing) {
    dir.write("storage/gameRetry.json", "x");
    CCheckValidationResult withList(harness.thread, brokenList);
    EXPECT_NO_THROW(withList.work());
    CCheckValidationResult throwing(harness.thread, brokenList, [](bool) { throw std::runtime_error("next step failed"); });
    EXPECT_THROW(throwing.work(), std::runtime_error);
}

}  // namespace
}  // namespace hexora::Worker::Common
