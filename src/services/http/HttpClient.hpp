#pragma once
// The request layer: blocking HTTPS transfers over libcurl.
//
// Thread: any thread but the application's main thread. Each call runs one
// transfer on the calling thread and returns when it has ended; connections
// and TLS sessions are reused across calls and threads. Nothing here throws:
// every failure is in the returned Result.
//
// Only https URLs are accepted (also for redirects, which are followed);
// peer and host verification are always on. Extra trusted authorities come
// from TrustedCertificates.
#include "services/http/HttpOptions.hpp"
#include "services/http/HttpResult.hpp"

#include <filesystem>
#include <string>

namespace hexora::Http {

/// GET `url`; the reply body lands in Result::body.
Result get(const std::string& url, const Options& options = {});

/// POST `body` to `url` with the headers of `options` (give "Content-Type").
Result post(const std::string& url, const std::string& body, const Options& options = {});

/// PUT `body` to `url` with the headers of `options` (give "Content-Type").
Result put(const std::string& url, const std::string& body, const Options& options = {});

/// GET `url` into `file`. The body of a 2xx reply is streamed to the file,
/// which is created or truncated at its first byte (an empty 2xx reply leaves
/// an empty file; a link in the file's place fails the transfer, nothing is
/// written through it). The body may not exceed its announced length, nor
/// Options::maxUnannouncedDownloadBytes without one, nor Options::maxDownloadBytes
/// in any case, nor take the file's
/// file system below Options::keepFreeBytes of free space. `progress` is called
/// after each chunk written and may abort. The body of any other reply goes to Result::body and the file is
/// not touched. Parent folders are not created. After a failure the file may
/// hold part of the body: the caller decides what to keep.
Result download(const std::string& url, const std::filesystem::path& file, const Options& options = {},
                const DownloadProgress& progress = {});

}  // namespace hexora::Http
