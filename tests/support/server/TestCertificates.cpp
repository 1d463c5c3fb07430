#include "support/server/TestCertificates.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace hexora::test {
namespace {
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

Key newKey() {
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    check(key != nullptr, "key generation");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr, "extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// issuer == nullptr: a self-signed authority.
Cert newCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey) {
    Cert cert(X509_new(), &X509_free);
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Hexora tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (!issuer) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        addExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
        addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
    }
    check(X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "signing");
    return cert;
}

void writeCert(const std::string& path, X509* cert) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    check(file && PEM_write_X509(file, cert) == 1, "writing a certificate");
    std::fclose(file);
}

void writeKey(const std::string& path, EVP_PKEY* key) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    check(file && PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "writing a key");
    std::fclose(file);
}

// Writes an authority and a server certificate it signed; returns nothing but files.
void makeChain(const std::string& caPath, const std::string& certPath, const std::string& keyPath,
               const char* authorityName) {
    Key caKey = newKey();
    Cert ca = newCertificate(caKey.get(), authorityName, nullptr, nullptr);
    Key serverKey = newKey();
    Cert server = newCertificate(serverKey.get(), "127.0.0.1", ca.get(), caKey.get());
    writeCert(caPath, ca.get());
    writeCert(certPath, server.get());
    writeKey(keyPath, serverKey.get());
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
    check(mkdtemp(pattern.data()) != nullptr, "temporary folder");
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
