#include "support/download_service/SelfSignedCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace testsupport {
namespace {

bool WritePem(const std::string& path, EVP_PKEY* key, X509* certificate) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const int ok = key ? PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr)
                       : PEM_write_X509(file, certificate);
    std::fclose(file);
    return ok == 1;
}

}  // namespace

CertificateFiles WriteSelfSignedCertificate(const std::string& folder) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    bool ok = key && certificate;
    if (ok) {
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
        X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
        X509_NAME* name = X509_get_subject_name(certificate);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(certificate, name);
        X509_set_pubkey(certificate, key);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
        if (X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1")) {
            X509_add_ext(certificate, san, -1);
            X509_EXTENSION_free(san);
        }
        ok = X509_sign(certificate, key, EVP_sha256()) > 0;
    }
    CertificateFiles files{folder + "/cert.pem", folder + "/key.pem"};
    ok = ok && WritePem(files.certificateFile, nullptr, certificate) && WritePem(files.keyFile, key, nullptr);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return ok ? files : CertificateFiles{};
}

}  // namespace testsupport
