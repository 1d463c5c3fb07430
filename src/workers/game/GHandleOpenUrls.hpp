#pragma once
// The first worker when the launcher was opened with URLs: hands the first
// URL of an accepted scheme to the game and either brings a running game to
// the front (ending the launcher) or gives the road back to LBoot.
//
// Accepted schemes, compared in lower case with the version comparison (so
// "hexoramac.0" counts as "hexoramac"): "hexoramac", "com.tarq.hexora",
// "hexora-game.com" and "www.hexora-game.com". The scheme is taken by the
// launcher's one URL rule (services/internal/UrlScheme.hpp), the same the
// command line is read with: a text without a scheme and ":" is passed over.
//
// work():
// 1. posts CheckApp;
// 2. storeOpenUrls(); none accepted: hides the window and throws a
//    terminating LauncherError (Failed, "GHandleOpenUrls", "unhandled open
//    url", record "handle"/"Failed"/"INFO");
// 3. looks for the running game: by the id recorded under "CLIENT_PROC_ID"
//    (trimmed, signed 32-bit decimal) when that process is the game (another
//    application there is recorded as "handle by procId"/"Failed" and the next
//    lookup tried), by the game's bundle identifier, by the game's executable
//    storage/"Hexora.app/Contents/MacOS/Hexora" (InstanceCheck::find, the
//    facts in GameProduct.hpp); found: activateRunningGame();
// 4. no game: clears the opened-URL flag and queues LBoot (through
//    RoadSuccessors).
//
// Thread: work() runs on the worker thread, before any other worker.
#include "engine/Worker.hpp"
#include "services/internal/RunningApplication.hpp"

#include <memory>
#include <string>
#include <vector>

namespace hexora::Worker::Hexora {

class GHandleOpenUrls : public Worker {
public:
    /// The accepted schemes, in the order they are compared.
    static const std::vector<std::string>& acceptedSchemes();

    /// `urls`: the absolute texts of the opened URLs, in the order received.
    GHandleOpenUrls(std::shared_ptr<WorkerThread> workerThread, std::vector<std::string> urls,
                    CompletionHandler completionHandler = nullptr)
        : Worker(std::move(workerThread), std::move(completionHandler)), urls(std::move(urls)) {}

    const std::vector<std::string> urls;

    void work() override;

    /// Stores the first URL of an accepted scheme in the game's preference
    /// suite under its lower-cased scheme + "_uri", its text unchanged (a
    /// suite that cannot be opened stores nothing). True when a URL was
    /// accepted; later URLs are not looked at.
    virtual bool storeOpenUrls();

    /// Brings `application` to the front, hides the window and throws the
    /// LauncherError that ends the launcher: Succeeded, "GHandleOpenUrls",
    /// "handled open url and terminating launcher", terminating, with the
    /// record "handle by  " + `how` (two blanks) / "Succeeded" / "INFO".
    /// `how`: "procId", "bundle id" or "bundle exe".
    [[noreturn]] virtual void activateRunningGame(const RunningApplication& application, const std::string& how);
};

}  // namespace hexora::Worker::Hexora
