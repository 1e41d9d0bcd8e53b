#include "platform/trust/TrustStore.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstdlib>

namespace qz::platform {

X509StorePtr LoadTrustStore()
{
    X509StorePtr store(X509_STORE_new());
    if (!store) {
        return nullptr;
    }
    const char* file = std::getenv("SSL_CERT_FILE");
    const char* dir = std::getenv("SSL_CERT_DIR");
    if (!file && !dir) {
        X509_STORE_set_default_paths(store.get());
    } else {
        // A store that fails to load stays empty and trusts nothing.
        if (file) {
            X509_STORE_load_file(store.get(), file);
        }
        if (dir) {
            X509_STORE_load_path(store.get(), dir);
        }
    }
    ERR_clear_error();
    return store;
}

bool VerifyChain(X509_STORE* store, X509* leaf, STACK_OF(X509) * untrusted, std::time_t at, ChainUse use,
                 std::string& error)
{
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!ctx || X509_STORE_CTX_init(ctx.get(), store, leaf, untrusted) != 1) {
        error = "cannot set up chain verification";
        return false;
    }
    X509_STORE_CTX_set_time(ctx.get(), 0, at);
    if (use == ChainUse::TimeStamping) {
        X509_STORE_CTX_set_purpose(ctx.get(), X509_PURPOSE_TIMESTAMP_SIGN);
    }
    const bool verified = X509_verify_cert(ctx.get()) == 1;
    ERR_clear_error();
    if (!verified) {
        error = X509_verify_cert_error_string(X509_STORE_CTX_get_error(ctx.get()));
        return false;
    }
    if (use == ChainUse::CodeSigning) {
        // The signer, and every CA between it and the root, must allow code
        // signing when it restricts its usage at all.
        STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(ctx.get());
        const int count = sk_X509_num(chain);
        for (int i = 0; i < count; ++i) {
            X509* cert = sk_X509_value(chain, i);
            if (i > 0 && i == count - 1) {
                break; // the trust anchor is trusted as it is
            }
            if ((X509_get_extension_flags(cert) & EXFLAG_XKUSAGE) == 0) {
                continue;
            }
            const std::uint32_t usage = X509_get_extended_key_usage(cert);
            const bool allowed = (usage & XKU_CODE_SIGN) != 0 || (i > 0 && (usage & XKU_ANYEKU) != 0);
            if (!allowed) {
                error = i == 0 ? "signer certificate does not allow code signing"
                               : "CA certificate does not allow code signing";
                return false;
            }
        }
    }
    return true;
}

std::string SubjectText(const X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || X509_NAME_print_ex(bio.get(), X509_get_subject_name(certificate), 0,
                                   XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) < 0) {
        return {};
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::optional<std::time_t> ToEpoch(const ASN1_TIME* time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1) {
        return std::nullopt;
    }
    return timegm(&tm);
}

} // namespace qz::platform
