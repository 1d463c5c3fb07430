#include "services/http/CurlTransfer.hpp"

#include "platform/FileOps.hpp"
#include "platform/FileSystem.hpp"
#include "services/http/CertificateStore.hpp"
#include "services/http/CurlSession.hpp"
#include "services/http/TrustedCertificates.hpp"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hexora::Http {
namespace {
// How often the calling thread looks at the clock and the abort check while
// the transfer waits for the network.
constexpr long WatchIntervalMs = 20;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

double effectiveTimeout(double seconds) {
    return (std::isfinite(seconds) && seconds > 0) ? seconds : DefaultTimeoutSec;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}
}  // namespace

CurlTransfer::CurlTransfer(std::string method, std::string url, Options options)
    : method_(std::move(method)),
      url_(std::move(url)),
      options_(std::move(options)),
      freeSpace_(options_.keepFreeBytes) {
    options_.timeoutSec = effectiveTimeout(options_.timeoutSec);
    if (!(std::isfinite(options_.connectTimeoutSec) && options_.connectTimeoutSec > 0))
        options_.connectTimeoutSec = options_.timeoutSec;
}

CurlTransfer::~CurlTransfer() {
    if (easy_) curl_easy_cleanup(easy_);
}

void CurlTransfer::setDownload(std::filesystem::path file, DownloadProgress progress) {
    file_ = std::move(file);
    progress_ = std::move(progress);
}

Result CurlTransfer::run() {
    CURLSH* share = CurlSession::share();
    easy_ = curl_easy_init();
    if (!easy_) {
        result_.failure = Failure::Transport;
        result_.error = curl_easy_strerror(CURLE_FAILED_INIT);
        return result_;
    }
    curl_easy_setopt(easy_, CURLOPT_SHARE, share);
    curl_slist* headerList = nullptr;
    if (configure(headerList)) {
        CURLM* multi = CurlSession::threadMulti();
        curl_multi_add_handle(multi, easy_);
        drive(multi);
        curl_multi_remove_handle(multi, easy_);
    }
    curl_slist_free_all(headerList);
    return result_;
}

bool CurlTransfer::configure(curl_slist*& headerList) {
    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::ceil(options_.connectTimeoutSec * 1000.0)));
    curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CurlTransfer::onConnected);
    curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);

    // The authorities come from the process's shared store, with the extra
    // ones in force when this transfer starts.
    extraCaFile_ = TrustedCertificates::extraCaFile();
    CertificateStore::leaveLoadingToTheStore(easy_);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &CurlTransfer::onSslContext);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, this);

    if (method_ == "POST") {
        curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    } else if (method_ != "GET") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method_.c_str());
    }
    if (body_) {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_->data());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_->size()));
    }

    // No "Expect: 100-continue" round trip unless the caller asks for one.
    if (!findHeader(options_.headers, "Expect")) headerList = curl_slist_append(headerList, "Expect:");
    // A body is not a web form unless the caller says so.
    if (body_ && !findHeader(options_.headers, "Content-Type")) headerList = curl_slist_append(headerList, "Content-Type:");
    for (const auto& header : options_.headers) {
        const std::string line = header.value.empty() ? header.name + ";" : header.name + ": " + header.value;
        headerList = curl_slist_append(headerList, line.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList);
    return true;
}

void CurlTransfer::drive(CURLM* multi) {
    const auto idleLimit = std::chrono::duration<double>(options_.timeoutSec);
    started_ = std::chrono::steady_clock::now();
    markActivity();
    int running = 1;
    while (running) {
        const CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            result_.failure = Failure::Transport;
            result_.error = curl_multi_strerror(code);
            return;
        }
        if (!running) break;
        curl_off_t uploaded = 0;
        curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &uploaded);
        if (uploaded != lastUploaded_) {
            lastUploaded_ = uploaded;
            markActivity();
        }
        if (options_.shouldAbort && options_.shouldAbort()) {
            stop_ = Stop::Aborted;
            break;
        }
        // Until the connection is up only the connect timeout bounds the transfer.
        const auto now = std::chrono::steady_clock::now();
        if (connected_ && now - lastActivity_ > idleLimit) {
            stop_ = Stop::Timeout;
            break;
        }
        if (connected_ && isTooSlow(now)) {
            stop_ = Stop::TooSlow;
            break;
        }
        if (isTooLong(now)) {
            stop_ = Stop::TooLong;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, WatchIntervalMs, nullptr);
    }

    CURLcode code = CURLE_OK;
    if (running) {
        code = (stop_ == Stop::Timeout || stop_ == Stop::TooSlow || stop_ == Stop::TooLong) ? CURLE_OPERATION_TIMEDOUT
                                                                                           : CURLE_ABORTED_BY_CALLBACK;
    } else {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) code = message->data.result;
        }
    }
    fillOutcome(code);
}

void CurlTransfer::fillOutcome(CURLcode code) {
    result_.status = currentStatus();
    if (code == CURLE_OK && !finishFile()) code = CURLE_WRITE_ERROR;
    if (code == CURLE_OK) return;

    switch (stop_) {
    case Stop::Timeout:
        result_.failure = Failure::Timeout;
        result_.error = std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": no data moved for " +
                        secondsText(options_.timeoutSec) + " s";
        return;
    case Stop::TooSlow:
        result_.failure = Failure::Timeout;
        result_.error = std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": fewer than " +
                        secondsText(options_.minBytesPerSec * options_.timeoutSec) + " bytes moved in " +
                        secondsText(options_.timeoutSec) + " s";
        return;
    case Stop::TooLong:
        result_.failure = Failure::Timeout;
        result_.error = std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": the transfer took longer than " +
                        secondsText(options_.maxDurationTimeouts * options_.timeoutSec) + " s";
        return;
    case Stop::Aborted:
        result_.failure = Failure::Aborted;
        result_.error = curl_easy_strerror(CURLE_ABORTED_BY_CALLBACK);
        return;
    case Stop::TooLarge:
        result_.failure = Failure::BodyTooLarge;
        result_.error = tooLargeReason_;
        return;
    case Stop::FileError:
        result_.failure = Failure::Transport;
        result_.error = fileError_;
        return;
    case Stop::None:
        break;
    }
    result_.failure = code == CURLE_OPERATION_TIMEDOUT ? Failure::Timeout : Failure::Transport;
    result_.error = errorBuffer_[0] ? std::string(errorBuffer_) : std::string(curl_easy_strerror(code));
}

long CurlTransfer::currentStatus() const {
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

int CurlTransfer::onConnected(void* self, char*, char*, int, int) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    transfer.connected_ = true;
    transfer.markActivity();
    return CURL_PREREQFUNC_OK;
}

size_t CurlTransfer::onHeader(char* data, size_t size, size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    transfer.markActivity();
    const std::string_view line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new reply starts (after a redirect or an interim reply): its headers replace the earlier ones.
        transfer.result_.headers.clear();
        transfer.bodyBytes_ = 0;
        return length;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && colon > 0) {
        transfer.result_.headers.push_back({trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1))});
    }
    return length;
}

size_t CurlTransfer::onBody(char* data, size_t size, size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    transfer.markActivity();
    const long status = transfer.currentStatus();
    const bool toFile = transfer.file_ && status >= 200 && status <= 299;
    if (!transfer.admitsBodyBytes(length, toFile)) return CURL_WRITEFUNC_ERROR;
    transfer.bodyBytes_ += length;
    if (toFile) return transfer.writeToFile(data, length);
    return transfer.writeToMemory(data, length);
}

bool CurlTransfer::admitsBodyBytes(size_t length, bool toFile) {
    const std::optional<std::uint64_t> announced = announcedLength();
    if (announced && bodyBytes_ + length > *announced) {
        stopTooLarge("The reply body is longer than its announced length of " + std::to_string(*announced) + " bytes");
        return false;
    }
    if (toFile && (announced ? *announced : written_ + length) > options_.maxDownloadBytes) {
        stopTooLarge("The download is larger than " + std::to_string(options_.maxDownloadBytes) + " bytes");
        return false;
    }
    if (toFile && !announced && written_ + length > options_.maxUnannouncedDownloadBytes) {
        stopTooLarge("The download is larger than " + std::to_string(options_.maxUnannouncedDownloadBytes) +
                     " bytes without an announced length");
        return false;
    }
    if (!toFile && result_.body.size() + length > options_.maxBodyBytes) {
        stopTooLarge("The reply body is larger than " + std::to_string(options_.maxBodyBytes) + " bytes");
        return false;
    }
    return true;
}

void CurlTransfer::stopTooLarge(std::string reason) {
    stop_ = Stop::TooLarge;
    tooLargeReason_ = std::move(reason);
}

std::optional<std::uint64_t> CurlTransfer::announcedLength() const {
    const std::optional<std::string> header = findHeader(result_.headers, "Content-Length");
    std::uint64_t length = 0;
    if (!header || header->empty()) return std::nullopt;
    const auto [end, error] = std::from_chars(header->data(), header->data() + header->size(), length);
    if (error != std::errc() || end != header->data() + header->size()) return std::nullopt;
    return length;
}

bool CurlTransfer::isTooSlow(std::chrono::steady_clock::time_point now) {
    if (!(options_.minBytesPerSec > 0)) return false;
    curl_off_t downloaded = 0;
    curl_off_t uploaded = 0;
    curl_easy_getinfo(easy_, CURLINFO_SIZE_DOWNLOAD_T, &downloaded);
    curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    const curl_off_t moved = downloaded + uploaded;
    if (samples_.empty() || now - samples_.back().at >= std::chrono::milliseconds(WatchIntervalMs))
        samples_.push_back({now, moved});
    // Judged only over a whole stretch as long as the timeout: the oldest
    // sample kept lies at or before its start.
    const auto windowStart = now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(options_.timeoutSec));
    if (samples_.front().at > windowStart) return false;
    while (samples_.size() >= 2 && samples_[1].at <= windowStart) samples_.pop_front();
    return static_cast<double>(moved - samples_.front().moved) < options_.minBytesPerSec * options_.timeoutSec;
}

bool CurlTransfer::isTooLong(std::chrono::steady_clock::time_point now) const {
    if (!(options_.maxDurationTimeouts > 0)) return false;
    return now - started_ > std::chrono::duration<double>(options_.maxDurationTimeouts * options_.timeoutSec);
}

size_t CurlTransfer::writeToMemory(const char* data, size_t length) {
    result_.body.append(data, length);
    return length;
}

size_t CurlTransfer::writeToFile(const char* data, size_t length) {
    if (!fileDescriptor_ && !openFile()) return CURL_WRITEFUNC_ERROR;
    if (!freeSpace_.admits(fileDescriptor_.get(), length)) {
        stop_ = Stop::FileError;
        fileError_ = "Could not write " + file_->string() + ": the download would leave less than " +
                     std::to_string(freeSpace_.reserveBytes()) + " bytes free on its disk";
        return CURL_WRITEFUNC_ERROR;
    }
    if (!FileOps::writeAll(fileDescriptor_.get(), std::string_view(data, length))) {
        stopFileError("write", errno);
        return CURL_WRITEFUNC_ERROR;
    }
    written_ += length;
    if (progress_) {
        curl_off_t expected = -1;
        curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        if (!progress_(written_, expected > 0 ? static_cast<std::uint64_t>(expected) : 0)) {
            stop_ = Stop::Aborted;
            return CURL_WRITEFUNC_ERROR;
        }
    }
    return length;
}

bool CurlTransfer::openFile() {
    // Never written through a link: a link in the file's place fails the open.
    fileDescriptor_ = FileDescriptor(
        platform::FileSystem::current()->open(*file_, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fileDescriptor_) {
        stopFileError("create", errno);
        return false;
    }
    // Only a file with content is truncated: ext4 takes a truncated file for
    // one being replaced and starts writing it all out when it is closed,
    // which would hold up every download into a fresh temporary file.
    struct stat facts {};
    if (::fstat(fileDescriptor_.get(), &facts) == 0 && facts.st_size == 0) return true;
    if (::ftruncate(fileDescriptor_.get(), 0) == 0) return true;
    stopFileError("create", errno);
    return false;
}

void CurlTransfer::stopFileError(const char* verb, int error) {
    stop_ = Stop::FileError;
    fileError_ = std::string("Could not ") + verb + " " + file_->string() + ": " + std::strerror(error);
}

// After a complete reply: a 2xx download always leaves its file, also an empty one.
bool CurlTransfer::finishFile() {
    if (!file_) return true;
    if (!fileDescriptor_) {
        if (result_.status < 200 || result_.status > 299) return true;
        if (!openFile()) return false;
    }
    if (fileDescriptor_.close()) return true;
    stopFileError("write", errno);
    return false;
}

CURLcode CurlTransfer::onSslContext(CURL*, void* sslContext, void* self) {
    const auto& transfer = *static_cast<CurlTransfer*>(self);
    if (!CertificateStore::use(static_cast<SSL_CTX*>(sslContext), transfer.extraCaFile_)) return CURLE_SSL_CACERT_BADFILE;
    return CURLE_OK;
}

}  // namespace hexora::Http
