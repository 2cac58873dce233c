#pragma once

#include <string>
#include <vector>

using SSL_CTX = struct ssl_ctx_st;

namespace trawl::sitesim {

// A certificate and its private key, PEM.
struct TlsIdentity {
    std::string certificatePem;
    std::string keyPem;
};

// A certificate authority made in memory when the sample sites start: nothing is read from or kept
// on disk but the CA certificate that clients are told to trust (SSL_CERT_FILE).
class CertificateAuthority {
public:
    // A week: a demo window may stay open for days.
    static constexpr long kAuthorityValidSeconds = 7 * 86400;

    CertificateAuthority(); // a fresh P-256 key and a self-signed CA certificate, valid from an hour ago
    ~CertificateAuthority();
    CertificateAuthority(const CertificateAuthority&) = delete;
    CertificateAuthority& operator=(const CertificateAuthority&) = delete;

    bool ok() const { return m_key != nullptr && m_certificate != nullptr; }
    std::string CertificatePem() const;
    // A server certificate for these DNS names (wildcards allowed), valid from `fromSeconds` to
    // `untilSeconds` relative to now (an expired one: both negative). Empty when it could not be made.
    TlsIdentity Issue(const std::vector<std::string>& names, long fromSeconds = -3600, long untilSeconds = 86400) const;

private:
    void* m_key = nullptr;         // EVP_PKEY
    void* m_certificate = nullptr; // X509
};

// A TLS server context that presents `identity` and resumes sessions; null when its PEM does not
// load. The caller frees it (SSL_CTX_free).
SSL_CTX* MakeServerContext(const TlsIdentity& identity);

// The names the sample sites answer to: every Craigslist and Kijiji host.
std::vector<std::string> SampleSiteNames();

} // namespace trawl::sitesim
