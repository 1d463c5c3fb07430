#pragma once
// The certificate authorities every transfer trusts, parsed once per process
// and shared: the system's (libcurl's built-in CA file and folder) and the
// extra ones of TrustedCertificates. Parsing the system's bundle takes longer
// than a whole small transfer on a fast line, and libcurl would do it again
// for every transfer that trusts an extra authority and on every new thread;
// an OpenSSL store may serve any number of connections and threads at once.
//
// The store is made again when the extra file changes: another path, or the
// same path with another size, time or inode. Verification is as libcurl
// sets it up: trusted certificates are tried first and any of them may
// anchor a chain.
//
// Thread: any thread. Nothing here throws.
#include <curl/curl.h>
#include <openssl/ssl.h>

#include <optional>
#include <string>

namespace hexora::Http::CertificateStore {

/// Tells libcurl not to load any authorities itself for `easy` (the shared
/// store comes in through use()); call before the transfer starts.
void leaveLoadingToTheStore(CURL* easy);

/// Makes `context` (a connection's SSL_CTX) trust the shared store for
/// `extraCaFile` (none: the system's authorities only). False when the extra
/// file cannot be read or holds no certificate, or the system's cannot be
/// loaded; the connection must then fail.
bool use(SSL_CTX* context, const std::optional<std::string>& extraCaFile);

}  // namespace hexora::Http::CertificateStore
