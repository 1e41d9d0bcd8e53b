#include "platform/trust/CertificateTable.h"

#include "platform/trust/DerReader.h"

#include <openssl/objects.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qz::platform {

namespace {

constexpr std::uint16_t kRevision2 = 0x0200;
constexpr std::uint16_t kTypePkcsSignedData = 2;
constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";
constexpr char kSpcPeImageDataOid[] = "1.3.6.1.4.1.311.2.1.15";

std::uint64_t Align8(std::uint64_t n)
{
    return (n + 7) & ~std::uint64_t{7};
}

CertificateTableResult Fail(std::string error)
{
    return {std::nullopt, std::move(error)};
}

Asn1ObjectPtr ObjectFromDer(const DerElement& oid)
{
    const unsigned char* p = oid.encoding.data();
    return Asn1ObjectPtr(d2i_ASN1_OBJECT(nullptr, &p, static_cast<long>(oid.encoding.size())));
}

bool ObjectIs(const ASN1_OBJECT* object, const char* dotted)
{
    Asn1ObjectPtr expected(OBJ_txt2obj(dotted, 1));
    return object && expected && OBJ_cmp(object, expected.get()) == 0;
}

} // namespace

const EVP_MD* AcceptedDigest(const ASN1_OBJECT* algorithm)
{
    switch (OBJ_obj2nid(algorithm)) {
    case NID_sha1:
        return EVP_sha1();
    case NID_sha256:
        return EVP_sha256();
    case NID_sha384:
        return EVP_sha384();
    case NID_sha512:
        return EVP_sha512();
    default:
        return nullptr; // MD5 and anything unknown
    }
}

CertificateTableResult ParseCertificateTable(std::span<const std::uint8_t> table)
{
    if (table.size() < 8) {
        return Fail("certificate table shorter than its header");
    }
    if (table.size() > kMaxCertificateTableSize) {
        return Fail("certificate table too large");
    }
    const std::uint32_t length =
        table[0] | (table[1] << 8) | (table[2] << 16) | (std::uint32_t{table[3]} << 24);
    const std::uint16_t revision = static_cast<std::uint16_t>(table[4] | (table[5] << 8));
    const std::uint16_t type = static_cast<std::uint16_t>(table[6] | (table[7] << 8));
    if (revision != kRevision2 || type != kTypePkcsSignedData) {
        return Fail("certificate entry is not a revision 2 PKCS#7 signature");
    }

    DerReader reader(table.subspan(8));
    const auto content = reader.Next(der::kSequence);
    if (!content) {
        return Fail("certificate entry holds no DER structure");
    }
    const std::uint64_t entryLength = 8 + content->encoding.size();
    if (length != entryLength && length != Align8(entryLength)) {
        return Fail("certificate entry length does not match its content");
    }
    if (table.size() != Align8(entryLength)) {
        return Fail("certificate table holds more than one padded entry");
    }
    const auto padding = table.subspan(entryLength);
    if (std::any_of(padding.begin(), padding.end(), [](std::uint8_t b) { return b != 0; })) {
        return Fail("certificate table padding is not zero");
    }

    const unsigned char* p = content->encoding.data();
    Pkcs7Ptr pkcs7(d2i_PKCS7(nullptr, &p, static_cast<long>(content->encoding.size())));
    if (!pkcs7 || p != content->encoding.data() + content->encoding.size()) {
        return Fail("signature is not a well-formed PKCS#7 structure");
    }
    if (!PKCS7_type_is_signed(pkcs7.get()) || !pkcs7->d.sign || !pkcs7->d.sign->contents) {
        return Fail("signature is not PKCS#7 SignedData");
    }
    const PKCS7* inner = pkcs7->d.sign->contents;
    if (!ObjectIs(inner->type, kSpcIndirectDataOid) || !inner->d.other ||
        inner->d.other->type != V_ASN1_SEQUENCE || !inner->d.other->value.sequence) {
        return Fail("signed content is not SpcIndirectDataContent");
    }
    if (sk_PKCS7_SIGNER_INFO_num(PKCS7_get_signer_info(pkcs7.get())) != 1) {
        return Fail("signature does not have exactly one signer");
    }

    // SpcIndirectDataContent ::= SEQUENCE { data SEQUENCE { type OID, value ANY OPTIONAL },
    //                                       messageDigest SEQUENCE { AlgorithmIdentifier, OCTET STRING } }
    const ASN1_STRING* sequence = inner->d.other->value.sequence;
    DerReader outer(
        std::span<const std::uint8_t>(sequence->data, static_cast<std::size_t>(sequence->length)));
    const auto indirect = outer.Next(der::kSequence);
    if (!indirect || !outer.AtEnd()) {
        return Fail("SpcIndirectDataContent is malformed");
    }
    DerReader fields(indirect->value);
    const auto data = fields.Next(der::kSequence);
    const auto digestInfo = fields.Next(der::kSequence);
    if (!data || !digestInfo) {
        return Fail("SpcIndirectDataContent is malformed");
    }
    DerReader dataFields(data->value);
    const auto dataType = dataFields.Next(der::kObjectIdentifier);
    if (!dataType || !ObjectIs(ObjectFromDer(*dataType).get(), kSpcPeImageDataOid)) {
        return Fail("signed data does not describe a PE image");
    }
    DerReader digestFields(digestInfo->value);
    const auto algorithmId = digestFields.Next(der::kSequence);
    const auto digest = digestFields.Next(der::kOctetString);
    if (!algorithmId || !digest) {
        return Fail("image digest is malformed");
    }
    DerReader algorithmFields(algorithmId->value);
    const auto algorithm = algorithmFields.Next(der::kObjectIdentifier);
    const EVP_MD* md = algorithm ? AcceptedDigest(ObjectFromDer(*algorithm).get()) : nullptr;
    if (!md) {
        return Fail("image digest algorithm is not accepted");
    }
    if (digest->value.size() != static_cast<std::size_t>(EVP_MD_get_size(md))) {
        return Fail("image digest has the wrong length");
    }

    ParsedSignature signature;
    signature.pkcs7 = std::move(pkcs7);
    signature.imageDigestAlgorithm = md;
    signature.imageDigest.assign(digest->value.begin(), digest->value.end());
    signature.signedContent.assign(indirect->value.begin(), indirect->value.end());
    return {std::move(signature), {}};
}

} // namespace qz::platform
