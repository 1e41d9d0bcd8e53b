#include "platform/trust/Timestamp.h"

#include "platform/trust/CertificateTable.h"
#include "platform/trust/TrustStore.h"

#include <openssl/err.h>
#include <openssl/objects.h>

namespace qz::platform {

namespace {

// The first value of the signer's unsigned attribute `oid`, when it is a SEQUENCE.
const ASN1_STRING* UnsignedAttribute(PKCS7_SIGNER_INFO* signer, const ASN1_OBJECT* oid)
{
    STACK_OF(X509_ATTRIBUTE)* attributes = PKCS7_get_attributes(signer);
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
        if (OBJ_cmp(X509_ATTRIBUTE_get0_object(attribute), oid) != 0) {
            continue;
        }
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
        if (value && value->type == V_ASN1_SEQUENCE) {
            return value->value.sequence;
        }
        return nullptr;
    }
    return nullptr;
}

// The digest named by `algorithm` when the rules in force take it.
const EVP_MD* Accepted(const ASN1_OBJECT* algorithm, bool sha1Accepted)
{
    const EVP_MD* md = AcceptedDigest(algorithm);
    return md && (sha1Accepted || EVP_MD_get_type(md) != NID_sha1) ? md : nullptr;
}

std::optional<std::time_t> VerifyRfc3161(const ASN1_STRING* encoded, PKCS7_SIGNER_INFO* signer, bool sha1Accepted,
                                         std::string& note)
{
    const unsigned char* p = encoded->data;
    Pkcs7Ptr token(d2i_PKCS7(nullptr, &p, encoded->length));
    if (!token || !PKCS7_type_is_signed(token.get())) {
        note = "timestamp is not a signed token";
        return std::nullopt;
    }
    TsTstInfoPtr info(PKCS7_to_TS_TST_INFO(token.get()));
    const auto time = info ? ToEpoch(TS_TST_INFO_get_time(info.get())) : std::nullopt;
    if (!time) {
        note = "timestamp token holds no time";
        return std::nullopt;
    }
    // Neither the imprint nor the TSA's own signature may use a refused digest.
    const X509_ALGOR* imprint = TS_MSG_IMPRINT_get_algo(TS_TST_INFO_get_msg_imprint(info.get()));
    PKCS7_SIGNER_INFO* tsa = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(token.get()), 0);
    if (!imprint || !Accepted(imprint->algorithm, sha1Accepted) || !tsa || !tsa->digest_alg ||
        !Accepted(tsa->digest_alg->algorithm, sha1Accepted)) {
        note = "timestamp digest algorithm is not accepted";
        return std::nullopt;
    }

    X509StorePtr store = LoadTrustStore();
    TsVerifyCtxPtr ctx(TS_VERIFY_CTX_new());
    const ASN1_OCTET_STRING* signature = signer->enc_digest;
    BioPtr data(BIO_new_mem_buf(signature->data, signature->length));
    if (!store || !ctx || !data) {
        note = "cannot set up timestamp verification";
        return std::nullopt;
    }
    // The TSA's certificate must be valid at the time it vouches for.
    X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), *time);
    TS_VERIFY_CTX_set_flags(ctx.get(), TS_VFY_SIGNATURE | TS_VFY_VERSION | TS_VFY_DATA);
    TS_VERIFY_CTX_set_data(ctx.get(), data.release());
    TS_VERIFY_CTX_set_store(ctx.get(), store.release());
    const bool ok = TS_RESP_verify_token(ctx.get(), token.get()) == 1;
    ERR_clear_error();
    if (!ok) {
        note = "timestamp does not verify";
        return std::nullopt;
    }
    note = "RFC 3161 timestamp";
    return time;
}

std::optional<std::time_t> VerifyCountersignature(PKCS7* signedData, const ASN1_STRING* encoded,
                                                  PKCS7_SIGNER_INFO* signer, bool sha1Accepted, std::string& note)
{
    const unsigned char* p = encoded->data;
    std::unique_ptr<PKCS7_SIGNER_INFO, OpenSslDeleter<PKCS7_SIGNER_INFO_free>> counter(
        d2i_PKCS7_SIGNER_INFO(nullptr, &p, encoded->length));
    if (!counter || !counter->issuer_and_serial || !counter->digest_alg) {
        note = "countersignature is malformed";
        return std::nullopt;
    }
    STACK_OF(X509)* certs = signedData->d.sign->cert;
    X509* tsa = X509_find_by_issuer_and_serial(certs, counter->issuer_and_serial->issuer,
                                               counter->issuer_and_serial->serial);
    const EVP_MD* md = Accepted(counter->digest_alg->algorithm, sha1Accepted);
    const ASN1_TYPE* signingTime = PKCS7_get_signed_attribute(counter.get(), NID_pkcs9_signingTime);
    std::optional<std::time_t> time;
    if (signingTime && (signingTime->type == V_ASN1_UTCTIME || signingTime->type == V_ASN1_GENERALIZEDTIME)) {
        time = ToEpoch(signingTime->value.asn1_string);
    }
    if (!tsa || !md || !time || !PKCS7_get_signed_attribute(counter.get(), NID_pkcs9_messageDigest)) {
        note = "countersignature lacks its certificate, digest or time";
        return std::nullopt;
    }
    // The countersignature covers the signer's signature value.
    BioPtr hashed(BIO_new(BIO_f_md()));
    BIO* sink = BIO_new(BIO_s_null());
    if (!hashed || !sink) {
        BIO_free(sink);
        note = "cannot set up countersignature verification";
        return std::nullopt;
    }
    BIO_set_md(hashed.get(), md);
    BIO_push(hashed.get(), sink);
    const ASN1_OCTET_STRING* value = signer->enc_digest;
    if (BIO_write(hashed.get(), value->data, value->length) != value->length ||
        PKCS7_signatureVerify(hashed.get(), signedData, counter.get(), tsa) != 1) {
        ERR_clear_error();
        note = "countersignature does not verify";
        return std::nullopt;
    }
    X509StorePtr store = LoadTrustStore();
    std::string error;
    if (!store || !VerifyChain(store.get(), tsa, certs, *time, ChainUse::TimeStamping, error)) {
        note = "countersigner: " + error;
        return std::nullopt;
    }
    note = "countersignature";
    return time;
}

} // namespace

std::optional<std::time_t> VerifiedTimestamp(PKCS7* signedData, PKCS7_SIGNER_INFO* signer,
                                             const std::vector<const char*>& tokenAttributes, bool sha1Accepted,
                                             std::string& note)
{
    for (const char* oid : tokenAttributes) {
        Asn1ObjectPtr attribute(OBJ_txt2obj(oid, 1));
        if (const ASN1_STRING* token = attribute ? UnsignedAttribute(signer, attribute.get()) : nullptr) {
            return VerifyRfc3161(token, signer, sha1Accepted, note);
        }
    }
    if (const ASN1_STRING* counter = UnsignedAttribute(signer, OBJ_nid2obj(NID_pkcs9_countersignature))) {
        return VerifyCountersignature(signedData, counter, signer, sha1Accepted, note);
    }
    note = "no timestamp";
    return std::nullopt;
}

} // namespace qz::platform
