#pragma once
// Certificates for the local HTTPS servers, made with OpenSSL once per test
// process in a temporary folder (removed at exit): a test certificate
// authority with a server certificate for 127.0.0.1 and localhost, and a
// second, untrusted authority with the same kind of server certificate.
//
// Thread: instance() may be called from any thread; the files never change.
#include <string>

namespace hexora::test {

class TestCertificates {
public:
    static const TestCertificates& instance();

    /// PEM of the test authority: hand it to the request layer as extra CA.
    const std::string& caFile() const { return caFile_; }
    /// Server certificate and key signed by the test authority.
    const std::string& certFile() const { return certFile_; }
    const std::string& keyFile() const { return keyFile_; }
    /// Server certificate and key signed by an authority nobody trusts.
    const std::string& untrustedCertFile() const { return untrustedCertFile_; }
    const std::string& untrustedKeyFile() const { return untrustedKeyFile_; }

private:
    TestCertificates();
    std::string folder_;
    std::string caFile_, certFile_, keyFile_, untrustedCertFile_, untrustedKeyFile_;
    friend struct TestCertificatesCleanup;
};

}  // namespace hexora::test
