#include "platform/trust/Authenticode.h"

#include "platform/pe/PeImage.h"
#include "platform/trust/CertificateTable.h"
#include "platform/trust/ImageDigest.h"
#include "platform/trust/SignerCheck.h"

namespace qz::platform {

namespace {

AuthenticodeVerdict Invalid(std::string reason)
{
    return {false, std::move(reason)};
}

} // namespace

AuthenticodeVerdict CheckAuthenticode(const ByteSource& source)
{
    return CheckAuthenticode(source, nullptr);
}

AuthenticodeVerdict CheckAuthenticode(const ByteSource& source, const ImageDigestStream* streamed)
{
    const auto image = PeImage::Parse(source);
    if (!image) {
        return Invalid("not a PE image");
    }
    const auto directory = image->Directory(PeImage::kDirectorySecurity);
    if (!directory || (directory->address == 0 && directory->size == 0)) {
        return Invalid("file is not signed");
    }
    const std::uint64_t tableOffset = directory->address;
    const std::uint64_t tableSize = directory->size;
    if (!RangeFits(tableOffset, tableSize, source.Size()) || tableOffset < image->HeadersEnd()) {
        return Invalid("certificate table lies outside the file");
    }
    if (tableOffset + tableSize != source.Size()) {
        return Invalid("data follows the certificate table");
    }
    if (tableOffset % 8 != 0) {
        return Invalid("certificate table is not aligned to 8 bytes");
    }
    if (tableSize > kMaxCertificateTableSize) {
        return Invalid("certificate table too large");
    }
    for (const PeSection& section : image->Sections()) {
        // A section must not load the unsigned table into the image.
        if (section.sizeOfRawData != 0 &&
            static_cast<std::uint64_t>(section.pointerToRawData) + section.sizeOfRawData > tableOffset) {
            return Invalid("a section overlaps the certificate table");
        }
    }

    std::vector<std::uint8_t> table(static_cast<std::size_t>(tableSize));
    if (!source.Read(tableOffset, table)) {
        return Invalid("cannot read the certificate table");
    }
    CertificateTableResult parsed = ParseCertificateTable(table);
    if (!parsed.signature) {
        return Invalid(parsed.error);
    }
    ParsedSignature& signature = *parsed.signature;

    const EVP_MD* md = signature.imageDigestAlgorithm;
    const auto layout = ImageDigestLayout::Of(*image);
    std::optional<std::vector<std::uint8_t>> digest;
    if (layout && streamed) {
        digest = streamed->Digest(*layout, md, source.Size());
    }
    const bool fromStream = digest.has_value();
    if (layout && !digest) {
        digest = ComputeImageDigest(source, *layout, md);
    }
    if (!digest) {
        return Invalid("cannot read the file");
    }
    AuthenticodeVerdict verdict = *digest == signature.imageDigest
                                      ? CheckSigner(signature)
                                      : Invalid("image digest does not match the signed digest");
    verdict.streamedDigest = fromStream;
    return verdict;
}

AuthenticodeVerdict CheckAuthenticode(const std::wstring& path)
{
    const auto source = FileByteSource::Open(NativePath(path));
    if (!source) {
        return Invalid("cannot open the file");
    }
    return CheckAuthenticode(*source);
}

bool VerifyAuthenticode(const std::wstring& path)
{
    return CheckAuthenticode(path).valid;
}

} // namespace qz::platform
