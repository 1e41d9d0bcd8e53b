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
// Where Authenticode keeps an RFC 3161 token.
constexpr char kAuthenticodeTimestampOid[] = "1.3.6.1.4.1.311.3.3.1";

AuthenticodeVerdict Invalid(std::string reason)
{
    return {false, std::move(reason)};
}

bool SameBytes(const ASN1_OCTET_STRING* a, std::span<const std::uint8_t> b)
{
    return a && static_cast<std::size_t>(a->length) == b.size() && std::equal(b.begin(), b.end(), a->data);
}

// Checks the signer's authenticated attributes and its signature over them,
// reading the content once.
std::string VerifySigner(PKCS7* pkcs7, const SignedContent& content, PKCS7_SIGNER_INFO* signer,
                         X509* certificate)
{
    const EVP_MD* md = signer->digest_alg ? AcceptedDigest(signer->digest_alg->algorithm) : nullptr;
    if (!md || (!content.sha1Accepted && EVP_MD_get_type(md) == NID_sha1)) {
        return "signer's digest algorithm is not accepted";
    }
    if (sk_X509_ATTRIBUTE_num(PKCS7_get_signed_attributes(signer)) <= 0) {
        return "signer has no signed attributes";
    }
    const ASN1_TYPE* contentType = PKCS7_get_signed_attribute(signer, NID_pkcs9_contentType);
    Asn1ObjectPtr expectedType(OBJ_txt2obj(content.contentType, 1));
    if (!contentType || contentType->type != V_ASN1_OBJECT || !expectedType ||
        OBJ_cmp(contentType->value.object, expectedType.get()) != 0) {
        return std::string("signer's content type is not ") + content.contentTypeName;
    }
    const ASN1_TYPE* messageDigest = PKCS7_get_signed_attribute(signer, NID_pkcs9_messageDigest);
    if (!messageDigest || messageDigest->type != V_ASN1_OCTET_STRING) {
        return "signer's message digest is missing";
    }

    BioPtr hashed(BIO_new(BIO_f_md()));
    BIO* sink = BIO_new(BIO_s_null());
    if (!hashed || !sink) {
        BIO_free(sink);
        return "cannot set up signature verification";
    }
    BIO_set_md(hashed.get(), md);
    BIO_push(hashed.get(), sink);
    if (!content.write(hashed.get())) {
        return "cannot read the signed content";
    }
    // The digest so far, without disturbing the one the verification reads.
    EVP_MD_CTX* running = nullptr;
    MdCtxPtr copy(EVP_MD_CTX_new());
    std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (BIO_get_md_ctx(hashed.get(), &running) != 1 || !copy || EVP_MD_CTX_copy_ex(copy.get(), running) != 1 ||
        EVP_DigestFinal_ex(copy.get(), digest.data(), &size) != 1) {
        return "cannot set up signature verification";
    }
    digest.resize(size);
    if (!SameBytes(messageDigest->value.octet_string, digest)) {
        return "signer's message digest does not match the signed content";
    }
    const bool ok = PKCS7_signatureVerify(hashed.get(), pkcs7, signer, certificate) == 1;
    ERR_clear_error();
    return ok ? std::string{} : "signer's signature does not verify";
}

} // namespace

AuthenticodeVerdict CheckSignerOf(PKCS7* pkcs7, const SignedContent& content)
{
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(pkcs7), 0);
    X509* certificate = signer ? PKCS7_cert_from_signer_info(pkcs7, signer) : nullptr;
    if (!certificate) {
        return Invalid("signer's certificate is missing");
    }
    if (std::string error = VerifySigner(pkcs7, content, signer, certificate); !error.empty()) {
        return Invalid(error);
    }

    std::string timestampNote;
    const auto timestamp = VerifiedTimestamp(pkcs7, signer, content.timestampTokenAttributes, content.sha1Accepted,
                                             timestampNote);
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

AuthenticodeVerdict CheckSigner(const ParsedSignature& signature)
{
    SignedContent content;
    content.contentType = kSpcIndirectDataOid;
    content.contentTypeName = "SpcIndirectDataContent";
    content.timestampTokenAttributes = {kAuthenticodeTimestampOid};
    content.write = [&signature](BIO* sink) {
        const int size = static_cast<int>(signature.signedContent.size());
        return BIO_write(sink, signature.signedContent.data(), size) == size;
    };
    return CheckSignerOf(signature.pkcs7.get(), content);
}

} // namespace qz::platform
