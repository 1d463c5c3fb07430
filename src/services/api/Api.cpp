#include "services/api/Api.hpp"

#include "platform/Clock.hpp"
#include "services/api/ReplyText.hpp"
#include "services/http/RequestThreads.hpp"
#include "services/http/HttpClient.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"

#include <memory>
#include <thread>

namespace hexora {
namespace {
constexpr double ScanIntervalSec = 0.1;

// A reply whose status says it has no content (the text is then "").
bool isEmptyStatus(long status) { return status == 204 || status == 205; }

void reportSuccess(const std::string& uri, const std::string& text) {
    Rum::LogData record("GET", "api.get", "Succeeded", "INFO");
    record.addData("Uri", uri);
    record.addData("Message", text);
    record.append();
}

void reportFailure(const std::string& uri, long errorCode, const std::string& description, const std::string& body) {
    Log::error("GET " + uri + " failed: " + std::to_string(errorCode) + " " + description);
    Rum::LogData record("GET", "api.get", "Failed", "ERROR");
    record.addData("Uri", uri);
    record.addData("ErrorCode", std::to_string(errorCode));
    if (!description.empty()) record.addData("ErrorDescription", description);
    if (!body.empty()) record.addData("ResponseBody", ReplyText::lossyUtf8(body));
    record.append();
}

bool isGoodText(const ApiResult<std::string>& result) {
    return result.succeeded && result.result && !ReplyText::trimmed(*result.result).empty();
}
}  // namespace

void Api::GetTextResult::finish(ApiResult<std::string> value) {
    result = std::move(value);
    isDone.store(true, std::memory_order_release);
}

const ApiResult<std::string>* Api::GetTextResult::doneResult() const {
    if (!isDone.load(std::memory_order_acquire)) return nullptr;
    return &*result;
}

ApiResult<std::string> Api::getText(const std::string& uri, double timeoutSec,
                                    const std::function<bool()>& shouldAbort) {
    if (ReplyText::trimmed(uri).empty()) {
        Log::error("Api.get: url is empty");
        Rum::LogData("Api.get", "url is empty", "Failed", "ERROR").append();
        return {};
    }

    Http::Options options;
    options.timeoutSec = timeoutSec;
    options.maxDurationTimeouts = Http::WholeReplyTimeouts;
    options.shouldAbort = shouldAbort;
    const Http::Result reply = Http::get(uri, options);
    // A request stopped (the run was cancelled, the process exits) ends without a record.
    if (reply.failure == Http::Failure::Aborted) return {};

    // The library's error: the transfer's, else one of turning the body into text.
    std::string libraryError = reply.error;
    std::optional<std::string> text;
    if (reply.completed()) {
        if (reply.body.empty()) {
            if (isEmptyStatus(reply.status)) {
                text = "";
            } else {
                libraryError = "The reply has no body to read as text";
            }
        } else {
            text = ReplyText::decode(reply.body, reply.header("Content-Type").value_or(""));
            if (!text) libraryError = "The reply body is not valid text in its charset";
        }
    }
    if (!libraryError.empty()) Log::error("GET " + uri + ": " + libraryError);

    const bool hasBody = !reply.body.empty();
    const bool statusOk = reply.status >= 200 && reply.status <= 299;
    const bool othersHold = libraryError.empty() && hasBody && text && reply.status != 0;
    if (othersHold && statusOk) {
        reportSuccess(uri, *text);
        return {true, std::move(text)};
    }
    const long errorCode = othersHold ? reply.status : 0;
    reportFailure(uri, errorCode, libraryError.empty() ? "unknown" : libraryError, reply.body);
    return {};
}

std::optional<std::string> Api::getText(const std::vector<std::string>& uris, double timeoutSec,
                                        const std::function<bool()>& shouldAbort) {
    if (uris.empty()) return std::nullopt;
    std::vector<std::shared_ptr<GetTextResult>> slots;
    std::vector<RequestThreads::Running> threads;
    for (const auto& uri : uris) {
        auto slot = std::make_shared<GetTextResult>();
        slots.push_back(slot);
        RequestThreads::Running running;
        try {
            running.thread = std::thread([slot, uri, timeoutSec, abort = running.abort, exited = running.exited] {
                slot->finish(getText(uri, timeoutSec, [&abort] { return abort->load(); }));
                *exited = true;
            });
            threads.push_back(std::move(running));
        } catch (const std::system_error& error) {
            Log::error("GET " + uri + ": no thread for the request: " + error.what());
            slot->finish({});
        }
    }
    const std::optional<std::string> text = firstGoodText(slots, shouldAbort);
    // The slower requests finish on their own and still report; they are
    // stopped and joined when the process exits. After an abort they stop now.
    if (shouldAbort && shouldAbort())
        for (auto& running : threads) *running.abort = true;
    RequestThreads::leftRunning().adopt(std::move(threads));
    return text;
}

std::optional<std::string> Api::firstGoodText(const std::vector<std::shared_ptr<GetTextResult>>& slots,
                                              const std::function<bool()>& shouldAbort) {
    while (true) {
        platform::sleepSeconds(ScanIntervalSec);
        if (shouldAbort && shouldAbort()) return std::nullopt;
        bool allDone = true;
        for (const auto& slot : slots) {
            const ApiResult<std::string>* result = slot->doneResult();
            if (!result) {
                allDone = false;
                continue;
            }
            if (isGoodText(*result)) return result->result;
        }
        if (allDone) return slots.front()->doneResult()->result;
    }
}

}  // namespace hexora
