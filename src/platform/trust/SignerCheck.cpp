#include "platform/trust/SignerCheck.h"

#include "platform/trust/Timestamp.h"
#include "platform/trust/TrustStore.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>
#include <ctime>

namespace qz::platform {

namespace {

constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

AuthenticodeVerdict Invalid(std::string reason)
{
    return {false, std::move(reason)};
}

bool SameBytes(const ASN1_OCTET_STRING* a, std::span<const std::uint8_t> b)
{
    return a && static_cast<std::size_t>(a->length) == b.size() && std::equal(b.begin(), b.end(), a->data);
}

// The hash of `bytes` with `md`, or nothing.
std::optional<std::vector<std::uint8_t>> Hash(const EVP_MD* md, std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out.data(), &size, md, nullptr) != 1) {
        return std::nullopt;
    }
    out.resize(size);
    return out;
}

// Checks the signer's authenticated attributes and its signature over them.
std::string VerifySigner(const ParsedSignature& signature, PKCS7_SIGNER_INFO* signer, X509* certificate)
{
    const EVP_MD* md = signer->digest_alg ? AcceptedDigest(signer->digest_alg->algorithm) : nullptr;
    if (!md) {
        return "signer's digest algorithm is not accepted";
    }
    const ASN1_TYPE* contentType = PKCS7_get_signed_attribute(signer, NID_pkcs9_contentType);
    Asn1ObjectPtr indirect(OBJ_txt2obj(kSpcIndirectDataOid, 1));
    if (!contentType || contentType->type != V_ASN1_OBJECT || !indirect ||
        OBJ_cmp(contentType->value.object, indirect.get()) != 0) {
        return "signer's content type is not SpcIndirectDataContent";
    }
    const ASN1_TYPE* messageDigest = PKCS7_get_signed_attribute(signer, NID_pkcs9_messageDigest);
    const auto expected = Hash(md, signature.signedContent);
    if (!messageDigest || messageDigest->type != V_ASN1_OCTET_STRING || !expected ||
        !SameBytes(messageDigest->value.octet_string, *expected)) {
        return "signer's message digest does not match the signed content";
    }

    BioPtr hashed(BIO_new(BIO_f_md()));
    BIO* sink = BIO_new(BIO_s_null());
    if (!hashed || !sink) {
        BIO_free(sink);
        return "cannot set up signature verification";
    }
    BIO_set_md(hashed.get(), md);
    BIO_push(hashed.get(), sink);
    const int size = static_cast<int>(signature.signedContent.size());
    const bool ok = BIO_write(hashed.get(), signature.signedContent.data(), size) == size &&
                    PKCS7_signatureVerify(hashed.get(), signature.pkcs7.get(), signer, certificate) == 1;
    ERR_clear_error();
    return ok ? std::string{} : "signer's signature does not verify";
}

} // namespace

AuthenticodeVerdict CheckSigner(const ParsedSignature& signature)
{
    PKCS7* pkcs7 = signature.pkcs7.get();
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(pkcs7), 0);
    X509* certificate = signer ? PKCS7_cert_from_signer_info(pkcs7, signer) : nullptr;
    if (!certificate) {
        return Invalid("signer's certificate is missing");
    }
    if (std::string error = VerifySigner(signature, signer, certificate); !error.empty()) {
        return Invalid(error);
    }

    std::string timestampNote;
    const auto timestamp = VerifiedTimestamp(pkcs7, signer, timestampNote);
    X509StorePtr store = LoadTrustStore();
    if (!store) {
        return Invalid("cannot load the trust store");
    }
    std::string error;
    if (!VerifyChain(store.get(), certificate, pkcs7->d.sign->cert, timestamp.value_or(std::time(nullptr)),
                     ChainUse::CodeSigning, error)) {
        return Invalid("signer's chain: " + error + " (" + timestampNote + ")");
    }
    return {true, "signed by " + SubjectText(certificate) + " (" + timestampNote + ")"};
}

} // namespace qz::platform
