#include "LocalCertificateChain.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace hexora::tools {
namespace {
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

class ChainMaker {
public:
    explicit ChainMaker(const LocalCertificateChain& chain) : chain_(chain) {}

    void write() const {
        Key caKey = newKey();
        Cert ca = newCertificate(caKey.get(), chain_.authorityName.c_str(), nullptr, nullptr);
        Key serverKey = newKey();
        Cert server = newCertificate(serverKey.get(), "127.0.0.1", ca.get(), caKey.get());
        writeCert(chain_.caFile, ca.get());
        writeCert(chain_.certFile, server.get());
        writeKey(chain_.keyFile, serverKey.get());
    }

private:
    void check(bool ok, const char* what) const {
        if (!ok) throw std::runtime_error(chain_.errorContext + ": " + what);
    }

    Key newKey() const {
        Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
        check(key != nullptr, "key generation");
        return key;
    }

    void addExtension(X509* cert, X509* issuer, int nid, const char* value) const {
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        check(extension != nullptr, "extension");
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }

    void addName(X509* cert, const char* commonName) const {
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(chain_.organization.c_str()), -1, -1, 0);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                                   -1, 0);
    }

    // issuer == nullptr: a self-signed authority.
    Cert newCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey) const {
        Cert cert(X509_new(), &X509_free);
        X509_set_version(cert.get(), 2);
        unsigned char serial[16];
        RAND_bytes(serial, sizeof serial);
        serial[0] &= 0x7f;
        BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
        BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
        BN_free(number);
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), chain_.validDays * 24 * 3600);
        X509_set_pubkey(cert.get(), key);
        addName(cert.get(), commonName);
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

    void writeCert(const std::filesystem::path& path, X509* cert) const {
        std::FILE* file = std::fopen(path.c_str(), "w");
        check(file != nullptr, "opening a certificate file");
        const bool written = PEM_write_X509(file, cert) == 1;
        std::fclose(file);
        check(written, "writing a certificate");
    }

    void writeKey(const std::filesystem::path& path, EVP_PKEY* key) const {
        std::FILE* file = std::fopen(path.c_str(), "w");
        check(file != nullptr, "opening a key file");
        const bool written = PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        std::fclose(file);
        check(written, "writing a key");
    }

    const LocalCertificateChain& chain_;
};
}  // namespace

void LocalCertificateChain::write() const { ChainMaker(*this).write(); }

}  // namespace hexora::tools
