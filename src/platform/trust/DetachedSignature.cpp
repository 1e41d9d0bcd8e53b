#include "platform/trust/DetachedSignature.h"

#include "platform/trust/SignerCheck.h"

#include <openssl/cms.h>
#include <openssl/err.h>

#include <algorithm>
#include <vector>

namespace qz::platform {

namespace {

constexpr char kDataOid[] = "1.2.840.113549.1.7.1";
// id-aa-timeStampToken: where CMS keeps an RFC 3161 token.
constexpr char kCmsTimestampOid[] = "1.2.840.113549.1.9.16.2.14";
constexpr std::size_t kBlockSize = 1u << 20;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OpenSslDeleter<CMS_ContentInfo_free>>;

AuthenticodeVerdict Invalid(std::string reason)
{
    return {false, std::move(reason)};
}

} // namespace

std::wstring DetachedSignaturePath(const std::wstring& path)
{
    return path + L".p7s";
}

bool LooksLikePeFile(const ByteSource& source)
{
    std::uint8_t magic[2] = {};
    return source.Size() >= 2 && source.Read(0, magic) && magic[0] == 'M' && magic[1] == 'Z';
}

AuthenticodeVerdict CheckDetachedSignature(const ByteSource& content, std::span<const std::uint8_t> signature)
{
    if (signature.empty()) {
        return Invalid("signature file is empty");
    }
    if (signature.size() > kMaxDetachedSignatureSize) {
        return Invalid("signature file too large");
    }
    const unsigned char* p = signature.data();
    Pkcs7Ptr pkcs7(d2i_PKCS7(nullptr, &p, static_cast<long>(signature.size())));
    ERR_clear_error();
    if (!pkcs7) {
        // CMS forms that PKCS#7 cannot hold, such as a signer named by its
        // key identifier, deserve a reason a vendor can act on.
        const unsigned char* q = signature.data();
        CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &q, static_cast<long>(signature.size())));
        ERR_clear_error();
        if (cms && OBJ_obj2nid(CMS_get0_type(cms.get())) == NID_pkcs7_signed) {
            return Invalid("signature uses CMS forms this check does not read (a signer named by key identifier?)");
        }
        return Invalid("signature is not DER SignedData");
    }
    if (p != signature.data() + signature.size()) {
        return Invalid("data follows the signature");
    }
    if (!PKCS7_type_is_signed(pkcs7.get()) || !pkcs7->d.sign || !pkcs7->d.sign->contents) {
        return Invalid("signature is not SignedData");
    }
    // Detached: the signed bytes are the file, never something carried inside.
    if (!PKCS7_type_is_data(pkcs7->d.sign->contents) || pkcs7->d.sign->contents->d.data != nullptr) {
        return Invalid("signature carries content of its own");
    }
    if (sk_PKCS7_SIGNER_INFO_num(PKCS7_get_signer_info(pkcs7.get())) != 1) {
        return Invalid("signature has not exactly one signer");
    }

    SignedContent rules;
    rules.contentType = kDataOid;
    rules.contentTypeName = "data";
    rules.sha1Accepted = false;
    rules.timestampTokenAttributes = {kCmsTimestampOid};
    rules.write = [&content](BIO* sink) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, content.Size())));
        for (std::uint64_t at = 0; at < content.Size();) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), content.Size() - at));
            if (!content.Read(at, std::span(buffer.data(), n)) ||
                BIO_write(sink, buffer.data(), static_cast<int>(n)) != static_cast<int>(n)) {
                return false;
            }
            at += n;
        }
        return true;
    };
    return CheckSignerOf(pkcs7.get(), rules);
}

AuthenticodeVerdict CheckDetachedSignature(const ByteSource& content, const std::wstring& signaturePath)
{
    const auto source = FileByteSource::Open(NativePath(signaturePath));
    if (!source) {
        return Invalid("no signature file");
    }
    if (source->Size() > kMaxDetachedSignatureSize) {
        return Invalid("signature file too large");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(source->Size()));
    if (!source->Read(0, bytes)) {
        return Invalid("cannot read the signature file");
    }
    return CheckDetachedSignature(content, bytes);
}

AuthenticodeVerdict CheckPatchSignature(const ByteSource& content, const std::wstring& signaturePath,
                                        const ImageDigestStream* streamed)
{
    if (LooksLikePeFile(content)) {
        return CheckAuthenticode(content, streamed);
    }
    return CheckDetachedSignature(content, signaturePath);
}

} // namespace qz::platform
