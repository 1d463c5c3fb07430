#pragma once
// One transfer on one libcurl easy handle, driven on the calling thread.
// Used by HttpClient; not meant for other areas.
//
// The transfer runs in the thread's multi handle so that the calling thread
// can watch it between short waits: that is where the idle timeout and the
// caller's abort check are applied, at a finer grain than libcurl's own
// whole-second low-speed limit, and where the minimum rate is checked.
#include "platform/FileDescriptor.hpp"
#include "services/internal/FreeSpaceReserve.hpp"
#include "services/http/HttpOptions.hpp"
#include "services/http/HttpResult.hpp"

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>

namespace hexora::Http {

class CurlTransfer {
public:
    CurlTransfer(std::string method, std::string url, Options options);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    /// The request body (POST, PUT); must outlive run().
    void setBody(const std::string* body) { body_ = body; }
    /// Streams a 2xx reply body to `file` instead of memory.
    void setDownload(std::filesystem::path file, DownloadProgress progress);

    /// Runs the transfer to its end; call once.
    Result run();

private:
    enum class Stop { None, Timeout, TooSlow, TooLong, Aborted, TooLarge, FileError };
    struct Sample {
        std::chrono::steady_clock::time_point at;
        curl_off_t moved;
    };

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static CURLcode onSslContext(CURL* easy, void* sslContext, void* self);
    static int onConnected(void* self, char* remoteIp, char* localIp, int remotePort, int localPort);

    bool configure(curl_slist*& headerList);
    size_t writeToFile(const char* data, size_t length);
    size_t writeToMemory(const char* data, size_t length);
    bool openFile();
    void stopFileError(const char* verb, int error);
    bool finishFile();
    void drive(CURLM* multi);
    void markActivity() { lastActivity_ = std::chrono::steady_clock::now(); }
    bool isTooSlow(std::chrono::steady_clock::time_point now);
    /// The whole transfer has taken longer than maxDurationTimeouts allows.
    bool isTooLong(std::chrono::steady_clock::time_point now) const;
    /// Refuses a chunk that would take the body past a bound; false stops the transfer.
    bool admitsBodyBytes(size_t length, bool toFile);
    /// The length the current reply announces, when it announces one.
    std::optional<std::uint64_t> announcedLength() const;
    void stopTooLarge(std::string reason);
    long currentStatus() const;
    void fillOutcome(CURLcode code);

    std::string method_;
    std::string url_;
    Options options_;
    const std::string* body_ = nullptr;
    std::optional<std::filesystem::path> file_;
    DownloadProgress progress_;
    FileDescriptor fileDescriptor_;
    FreeSpaceReserve freeSpace_;
    std::uint64_t written_ = 0;
    std::uint64_t bodyBytes_ = 0;
    std::string tooLargeReason_;
    std::string fileError_;
    std::optional<std::string> extraCaFile_;

    CURL* easy_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    /// Set once a connection is up and the request is about to go out; the
    /// idle and rate clocks run from then on (the connect has its own bound).
    bool connected_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastActivity_;
    curl_off_t lastUploaded_ = 0;
    std::deque<Sample> samples_;
    Stop stop_ = Stop::None;
    Result result_;
};

}  // namespace hexora::Http
