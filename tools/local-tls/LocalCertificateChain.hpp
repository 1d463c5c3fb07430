#pragma once
// A certificate chain for HTTPS on this machine only: a fresh, self-signed
// certificate authority and a server certificate it signed for 127.0.0.1 and
// localhost (EC P-256 keys, SHA-256 signatures, valid from an hour ago).
//
// Thread: write() may run on any thread; it touches only the named files.
// Failure: write() throws std::runtime_error ("<errorContext>: <what failed>")
// when OpenSSL or a write fails; files written before the failure stay.
#include <filesystem>
#include <string>

namespace hexora::tools {

struct LocalCertificateChain {
    std::string organization;   // the O of both certificates
    std::string authorityName;  // the CN of the authority
    long validDays = 7;
    std::string errorContext;   // leads every error message

    std::filesystem::path caFile, certFile, keyFile;

    /// Makes the keys and certificates and writes the authority's certificate,
    /// the server certificate and the server's private key as PEM files.
    void write() const;
};

}  // namespace hexora::tools
