#include "ServiceCertificates.hpp"

#include "LocalCertificateChain.hpp"

namespace hexora::tools {

ServiceCertificates::ServiceCertificates(const std::filesystem::path& folder)
    : caFile_(folder / "ca.pem"), certFile_(folder / "server.pem"), keyFile_(folder / "server-key.pem") {
    std::filesystem::create_directories(folder);
    LocalCertificateChain{.organization = "Hexora update service",
                          .authorityName = "Hexora update service authority",
                          .validDays = 30,
                          .errorContext = "update service certificates",
                          .caFile = caFile_,
                          .certFile = certFile_,
                          .keyFile = keyFile_}
        .write();
}

}  // namespace hexora::tools
