#include "support/server/TestCertificates.hpp"

#include "LocalCertificateChain.hpp"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace hexora::test {
namespace {
// Writes an authority and a server certificate it signed.
void makeChain(const std::string& caPath, const std::string& certPath, const std::string& keyPath,
               const char* authorityName) {
    tools::LocalCertificateChain{.organization = "Hexora tests",
                                 .authorityName = authorityName,
                                 .validDays = 7,
                                 .errorContext = "test certificates",
                                 .caFile = caPath,
                                 .certFile = certPath,
                                 .keyFile = keyPath}
        .write();
}
}  // namespace

struct TestCertificatesCleanup {
    std::string folder;
    ~TestCertificatesCleanup() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
};

TestCertificates::TestCertificates() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hexora-test-ca-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("test certificates: temporary folder");
    folder_ = pattern;
    caFile_ = folder_ + "/ca.pem";
    certFile_ = folder_ + "/server.pem";
    keyFile_ = folder_ + "/server-key.pem";
    untrustedCertFile_ = folder_ + "/untrusted-server.pem";
    untrustedKeyFile_ = folder_ + "/untrusted-server-key.pem";
    makeChain(caFile_, certFile_, keyFile_, "Hexora test authority");
    makeChain(folder_ + "/untrusted-ca.pem", untrustedCertFile_, untrustedKeyFile_, "Hexora untrusted authority");
}

const TestCertificates& TestCertificates::instance() {
    static const TestCertificates certificates;
    static const TestCertificatesCleanup cleanup{certificates.folder_};
    return certificates;
}

}  // namespace hexora::test
