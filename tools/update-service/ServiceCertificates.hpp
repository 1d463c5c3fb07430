#pragma once
// The certificate authority of one update-service run, made when the service
// starts: a fresh authority and a server certificate it signed for 127.0.0.1
// and localhost, written as PEM files into a folder. The launcher trusts the
// authority through HEXORA_CA_FILE; nothing else does.
//
// Thread: construct on one thread; the paths never change afterwards.
// Failure: the constructor throws std::runtime_error when OpenSSL or a write fails.
#include <filesystem>

namespace hexora::tools {

class ServiceCertificates {
public:
    /// Creates `folder` when needed and writes ca.pem, server.pem and server-key.pem into it.
    explicit ServiceCertificates(const std::filesystem::path& folder);

    const std::filesystem::path& caFile() const { return caFile_; }
    const std::filesystem::path& certFile() const { return certFile_; }
    const std::filesystem::path& keyFile() const { return keyFile_; }

private:
    std::filesystem::path caFile_, certFile_, keyFile_;
};

}  // namespace hexora::tools
