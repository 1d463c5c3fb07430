#pragma once
// The first worker of every normal road (queued by the driver at start, or by
// the opened-URL hand-off when no game runs). Two checks, then one successor:
//
// 1. checkPermission(): the launcher must be able to write inside its storage
//    folder (created with its parents when missing): "test" is written to
//    testFilePath() (storage/"test.file.<process id>": a name of its own, so
//    that launchers started together never take each other's test file for
//    a lack of permission) and the file deleted again. On failure one record
//    "LBoot"/"start"/"Failed"/"ERROR" with the Message "failed to create
//    storage directory: " or "failed to test file write: " + the system's
//    description is queued; when the folder lies on a read-only volume
//    (EROFS) the install alert ("msg_mac_install" from the bundle's strings
//    file) is shown first and the worker waits, in 0.1 s polls of the clock
//    seam, until the user has dismissed it or the run is cancelled (a quit
//    under the alert). Then it throws a terminating
//    Worker::LauncherError (Failed, "LBoot", "permission denied, Quit
//    Launcher", no state, the record "permission denied, Quit Launcher" in
//    the error), and the launcher quits. Nothing is queued then.
//    A full disk (ENOSPC, EDQUOT) is no lack of permission: a failed write
//    test first empties storage/"temp" (the launcher's own leftovers) and
//    tests again; when the disk is still full, the failure record is queued
//    and the road goes on, so the step that needs the space shows its failure
//    state (or the installed game starts) instead of a silent quit. The same
//    when the storage folder cannot be created for lack of space.
// 2. isUpdatePrevented(): the developer-hub application prevents updates.
//    Then two WARNING records are queued and skipUpdate() becomes true.
// The successor is Hexora::GCheckProcess (through RoadSuccessors) when
// skipUpdate() (workers/road/SkipUpdate.hpp) is true, else
// Launcher::LCheckProcess. A writable storage folder and no prevention leave
// no telemetry.
//
// Thread: work() and checkPermission() run on the worker thread; the alert is
// shown from the main queue (platform::Application), whose dismissal clears
// waitForResponse.
// Ownership: the alert's dismissal holds the flag it clears, so an alert
// dismissed after a cancelled wait (the worker gone) touches nothing freed.
#include "engine/Worker.hpp"
#include "workers/road/SkipUpdate.hpp"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace hexora::Worker::Launcher {

class LBoot : public Worker {
    /// What waitForResponse refers to, shared with the alert's dismissal.
    std::shared_ptr<std::atomic<bool>> response_ = std::make_shared<std::atomic<bool>>(false);

public:
    static constexpr const char* TestFileName = "test.file";
    static constexpr const char* TestFileContent = "test";
    static constexpr double AlertPollSeconds = 0.1;
    static constexpr const char* InstallAlertKey = "msg_mac_install";
    static constexpr const char* QuitMessage = "permission denied, Quit Launcher";

    using Worker::Worker;

    void work() override;

    /// Throws the terminating LauncherError above when the storage folder
    /// cannot be created or written.
    void checkPermission();
    /// The write test's file: storage/"test.file." + this process's id.
    static std::filesystem::path testFilePath();
    /// Schedules the install alert on the main queue; returns at once. The
    /// alert's dismissal sets waitForResponse to false.
    void showInstallAlert();

    /// True from the request of the install alert until its dismissal.
    std::atomic<bool>& waitForResponse = *response_;
    /// Carried for callers that build the worker with it; nothing reads it.
    std::atomic<bool> keepGoOn{false};

protected:
    /// Writes the test file (replacing whatever entry has its name, without
    /// following a symbolic link there) and deletes it. Throws
    /// std::filesystem::filesystem_error.
    virtual void writeAndDeleteTestFile(const std::filesystem::path& file);

private:
    [[noreturn]] void failPermission(const std::string& prefix, const std::error_code& error);
    /// writeAndDeleteTestFile(), its failure as the result.
    std::error_code testWrite(const std::filesystem::path& file);
    static bool isDiskFull(const std::error_code& error);
    /// Queues the failure record of a full disk; the road goes on.
    static void reportFullDisk(const std::string& prefix, const std::error_code& error);
};

/// True when the developer-hub application prevents updates: its preference
/// suite ("com.tarq.hexora.mac.developerhub") holds under the Base64 key of
/// ".pu" the process id (signed 32-bit decimal, blanks and line ends around it
/// allowed) of a running process, other than this one, whose bundle
/// identifier is "com.tarq.hexora.mac.developerhub". The id is stored as
/// Base64 of its text or as the plain text. Anything else is false; never
/// throws.
bool isUpdatePrevented();

}  // namespace hexora::Worker::Launcher
