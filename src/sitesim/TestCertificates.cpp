#include "sitesim/TestCertificates.h"

#include <atomic>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace trawl::sitesim {

namespace {

EVP_PKEY* Key(void* key)
{
    return static_cast<EVP_PKEY*>(key);
}
X509* Certificate(void* certificate)
{
    return static_cast<X509*>(certificate);
}

bool AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr) {
        return false;
    }
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key` named `commonName`, unsigned, issued by `issuer` (itself when null).
X509* MakeCertificate(EVP_PKEY* key, const std::string& commonName, long from, long until, X509* issuer, long serial)
{
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), from);
    X509_gmtime_adj(X509_getm_notAfter(certificate), until);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Trawlkit sample sites"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, issuer != nullptr ? X509_get_subject_name(issuer) : name);
    return certificate;
}

std::string Pem(int (*write)(BIO*, void*), void* object)
{
    BIO* bio = BIO_new(BIO_s_mem());
    std::string pem;
    if (bio != nullptr && write(bio, object) == 1) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        pem.assign(data, static_cast<std::size_t>(size));
    }
    BIO_free(bio);
    return pem;
}

int WriteCertificate(BIO* bio, void* certificate)
{
    return PEM_write_bio_X509(bio, static_cast<X509*>(certificate));
}
int WriteKey(BIO* bio, void* key)
{
    return PEM_write_bio_PrivateKey(bio, static_cast<EVP_PKEY*>(key), nullptr, nullptr, 0, nullptr, nullptr);
}

} // namespace

CertificateAuthority::CertificateAuthority()
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (key == nullptr) {
        return;
    }
    X509* certificate = MakeCertificate(key, "Trawlkit sample sites CA", -3600, kAuthorityValidSeconds, nullptr, 1);
    if (!AddExtension(certificate, certificate, NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(certificate, certificate, NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(certificate, certificate, NID_subject_key_identifier, "hash") ||
        X509_sign(certificate, key, EVP_sha256()) == 0) {
        X509_free(certificate);
        EVP_PKEY_free(key);
        return;
    }
    m_key = key;
    m_certificate = certificate;
}

CertificateAuthority::~CertificateAuthority()
{
    X509_free(Certificate(m_certificate));
    EVP_PKEY_free(Key(m_key));
}

std::string CertificateAuthority::CertificatePem() const
{
    return ok() ? Pem(WriteCertificate, m_certificate) : std::string();
}

TlsIdentity CertificateAuthority::Issue(const std::vector<std::string>& names, long fromSeconds,
                                        long untilSeconds) const
{
    TlsIdentity identity;
    if (!ok() || names.empty()) {
        return identity;
    }
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (key == nullptr) {
        return identity;
    }
    static std::atomic<long> serial{2};
    X509* certificate =
        MakeCertificate(key, names.front(), fromSeconds, untilSeconds, Certificate(m_certificate), serial.fetch_add(1));
    std::string alternativeNames;
    for (const std::string& name : names) {
        alternativeNames += (alternativeNames.empty() ? "DNS:" : ",DNS:") + name;
    }
    if (AddExtension(certificate, Certificate(m_certificate), NID_subject_alt_name, alternativeNames) &&
        AddExtension(certificate, Certificate(m_certificate), NID_basic_constraints, "critical,CA:FALSE") &&
        AddExtension(certificate, Certificate(m_certificate), NID_ext_key_usage, "serverAuth") &&
        AddExtension(certificate, Certificate(m_certificate), NID_authority_key_identifier, "keyid:always") &&
        X509_sign(certificate, Key(m_key), EVP_sha256()) != 0) {
        identity.certificatePem = Pem(WriteCertificate, certificate);
        identity.keyPem = Pem(WriteKey, key);
    }
    X509_free(certificate);
    EVP_PKEY_free(key);
    return identity;
}

SSL_CTX* MakeServerContext(const TlsIdentity& identity)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    BIO* certificate =
        BIO_new_mem_buf(identity.certificatePem.data(), static_cast<int>(identity.certificatePem.size()));
    BIO* key = BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size()));
    X509* x509 = certificate != nullptr ? PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* pkey = key != nullptr ? PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr) : nullptr;
    const bool ok = context != nullptr && x509 != nullptr && pkey != nullptr &&
                    SSL_CTX_use_certificate(context, x509) == 1 && SSL_CTX_use_PrivateKey(context, pkey) == 1;
    X509_free(x509);
    EVP_PKEY_free(pkey);
    BIO_free(certificate);
    BIO_free(key);
    if (!ok) {
        SSL_CTX_free(context);
        return nullptr;
    }
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_SERVER);
    SSL_CTX_set_session_id_context(context, reinterpret_cast<const unsigned char*>("trawlkit"), 8);
    return context;
}

std::vector<std::string> SampleSiteNames()
{
    return {"*.craigslist.org", "*.craigslist.ca", "*.kijiji.ca", "*.kijiji.com"};
}

} // namespace trawl::sitesim
