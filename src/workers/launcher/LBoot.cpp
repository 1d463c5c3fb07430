#include "workers/launcher/LBoot.hpp"

#include "engine/LauncherError.hpp"
#include "platform/Application.hpp"
#include "platform/Clock.hpp"
#include "platform/FileOps.hpp"
#include "platform/FileSystem.hpp"
#include "platform/LocalizedStrings.hpp"
#include "platform/PreferenceStore.hpp"
#include "services/api/ReplyText.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Integers.hpp"
#include "services/internal/Log.hpp"
#include "services/internal/Paths.hpp"
#include "services/rum/LogData.hpp"
#include "workers/launcher/LCheckProcess.hpp"
#include "workers/road/InstanceCheck.hpp"
#include "workers/road/RoadSuccessors.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace hexora::Worker::Launcher {
namespace fs = std::filesystem;
namespace {

constexpr const char* PreventionKey = ".pu";

[[noreturn]] void throwErrno(const char* what, const fs::path& file) {
    throw fs::filesystem_error(what, file, std::error_code(errno, std::generic_category()));
}

Rum::LogData bootRecord(const std::string& eventState, const std::string& logLevel, const std::string& message) {
    Rum::LogData record("LBoot", "start", eventState, logLevel);
    record.addData("Message", message);
    return record;
}

}  // namespace

void LBoot::work() {
    checkPermission();
    if (isUpdatePrevented()) {
        Log::warning("LBoot: update is prevented by user setting, ignore");
        bootRecord("Exception", "WARNING", "update is prevented by user setting").append();
        setSkipUpdate(true);
        bootRecord("Exception", "WARNING", "update is prevented by user setting, Keep go on (without update)").append();
    }
    if (skipUpdate()) {
        enqueue(Common::RoadSuccessors::gameCheck(workerThread()));
    } else {
        enqueue(std::make_shared<LCheckProcess>(workerThread()));
    }
}

void LBoot::checkPermission() {
    const auto storage = storagePath();
    std::error_code error;
    if (!fs::exists(storage, error)) {
        error.clear();
        fs::create_directories(storage, error);
        if (error && isDiskFull(error)) return reportFullDisk("failed to create storage directory: ", error);
        if (error) failPermission("failed to create storage directory: ", error);
    }
    error = testWrite(testFilePath());
    if (error && isDiskFull(error)) {
        // The launcher's own leftovers in temp (an update cut off before it
        // could clean up) must never keep it from starting.
        Log::warning("LBoot: the storage folder's disk is full, emptying temp and testing again");
        std::error_code ignored;
        fs::remove_all(tempPath(), ignored);
        error = testWrite(testFilePath());
        if (error && isDiskFull(error)) return reportFullDisk("failed to test file write: ", error);
    }
    if (error) failPermission("failed to test file write: ", error);
}

fs::path LBoot::testFilePath() {
    return storagePath() / (std::string(TestFileName) + "." + std::to_string(::getpid()));
}

std::error_code LBoot::testWrite(const fs::path& file) {
    try {
        writeAndDeleteTestFile(file);
    } catch (const fs::filesystem_error& failure) {
        return failure.code();
    }
    return {};
}

bool LBoot::isDiskFull(const std::error_code& error) {
    const auto condition = error.default_error_condition();
    return condition.category() == std::generic_category() &&
           (condition.value() == ENOSPC || condition.value() == EDQUOT);
}

void LBoot::reportFullDisk(const std::string& prefix, const std::error_code& error) {
    // Writable, only full: the road goes on, and the step that needs the
    // space shows its own failure (or the installed game starts).
    const std::string description = prefix + error.message();
    Log::error("LBoot: " + description + "; going on");
    bootRecord("Failed", "ERROR", description).append();
}

void LBoot::writeAndDeleteTestFile(const fs::path& file) {
    // Whatever holds the name is replaced, never written through: a symbolic
    // link there must not lead the write outside the storage folder.
    const auto fileSystem = platform::FileSystem::current();
    if (FileOps::itemExists(file) && fileSystem->remove(file) != 0) throwErrno("remove", file);
    const int descriptor = fileSystem->open(file, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) throwErrno("open", file);
    const std::string_view content = TestFileContent;
    const auto written = fileSystem->write(descriptor, content.data(), content.size());
    const int writeErrno = errno;
    if (fileSystem->close(descriptor) != 0 && written >= 0) {
        const int closeErrno = errno;
        fileSystem->remove(file);
        errno = closeErrno;
        throwErrno("close", file);
    }
    if (written != static_cast<ssize_t>(content.size())) {
        fileSystem->remove(file);
        errno = written < 0 ? writeErrno : EIO;
        throwErrno("write", file);
    }
    if (fileSystem->remove(file) != 0) throwErrno("remove", file);
}

void LBoot::failPermission(const std::string& prefix, const std::error_code& error) {
    const std::string description = prefix + error.message();
    Log::error("LBoot: " + description);
    bootRecord("Failed", "ERROR", description).append();
    if (error.value() == EROFS) {
        waitForResponse = true;
        showInstallAlert();
    }
    while (waitForResponse && !isCancelled()) platform::sleepSeconds(AlertPollSeconds);
    throw LauncherError::terminating(LauncherError::Code::Failed, "LBoot", QuitMessage,
                                     bootRecord("Failed", "ERROR", QuitMessage));
}

void LBoot::showInstallAlert() {
    const auto message = platform::localizedString(bundleRootPath(), InstallAlertKey);
    platform::Application::current()->submitToMain([response = response_, message] {
        platform::Application::current()->showAlert(message, [response] { *response = false; });
    });
}

bool isUpdatePrevented() {
    const auto suite = platform::PreferenceStore::current()->open(PlayerPrefsHelper::DeveloperHubSuiteName);
    if (!suite) return false;
    const auto stored = suite->stringForKey(PlayerPrefsHelper::base64Encode(PreventionKey));
    if (!stored) return false;
    // The entry is Base64 of the decimal id. Plain digits are taken as they
    // stand, also when they happen to be valid Base64 too (any 4 or 8 digits
    // are): Base64 of decimal text never begins with a digit.
    std::optional<std::int32_t> processIdentifier;
    if (const auto decoded = PlayerPrefsHelper::base64Decode(*stored)) {
        processIdentifier = parseInt32(ReplyText::trimmed(ReplyText::lossyUtf8(*decoded)));
    }
    if (!processIdentifier) processIdentifier = parseInt32(ReplyText::trimmed(*stored));
    if (!processIdentifier) return false;
    return Common::InstanceCheck::atProcessId(*processIdentifier, PlayerPrefsHelper::DeveloperHubSuiteName).has_value();
}

}  // namespace hexora::Worker::Launcher
