#include "certificate.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace k4m::sim {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* x) const { X509_free(x); }
};

void addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr) throw std::runtime_error("cannot make a certificate extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

void writePem(const std::string& path, const std::function<int(FILE*)>& write) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) throw std::runtime_error("cannot write " + path);
    const int ok = write(f);
    std::fclose(f);
    if (ok != 1) throw std::runtime_error("cannot write " + path);
}

} // namespace

GeneratedCertificate generateCertificate(const std::string& folder) {
    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    if (!key) throw std::runtime_error("cannot generate a key");
    std::unique_ptr<X509, CertFree> cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(std::time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Vendor simulator"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);
    addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
    addExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    addExtension(cert.get(), NID_subject_key_identifier, "hash");
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) throw std::runtime_error("cannot sign the certificate");

    GeneratedCertificate result{folder + "/certificate.pem", folder + "/key.pem"};
    writePem(result.certificateFile, [&](FILE* f) { return PEM_write_X509(f, cert.get()); });
    writePem(result.keyFile,
             [&](FILE* f) { return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    return result;
}

} // namespace k4m::sim
