#pragma once
// Makes a throw-away self-signed certificate for 127.0.0.1, so that a test can run an HTTPS
// service that no client trusts.
#include <string>

namespace testsupport {

struct CertificateFiles {
    std::string certificateFile;  // PEM
    std::string keyFile;          // PEM, unencrypted
};

// Writes "cert.pem" and "key.pem" into folder; empty paths when OpenSSL refused.
CertificateFiles WriteSelfSignedCertificate(const std::string& folder);

}  // namespace testsupport
