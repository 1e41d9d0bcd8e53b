#include "platform/trust/ImageDigest.h"

#include "platform/trust/OpenSslPtr.h"

#include <algorithm>

namespace qz::platform {

namespace {

constexpr std::size_t kBlockSize = 1u << 20;

bool HashRange(const ByteSource& source, EVP_MD_CTX* ctx, std::vector<std::uint8_t>& buffer,
               std::uint64_t from, std::uint64_t to)
{
    while (from < to) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), to - from));
        if (!source.Read(from, std::span(buffer.data(), n)) || EVP_DigestUpdate(ctx, buffer.data(), n) != 1) {
            return false;
        }
        from += n;
    }
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ComputeImageDigest(const ByteSource& source, const PeImage& image,
                                                            const EVP_MD* md, std::uint64_t tableOffset)
{
    if (image.DirectoryCount() <= PeImage::kDirectorySecurity) {
        return std::nullopt;
    }
    const std::uint64_t checkSum = image.CheckSumOffset();
    const std::uint64_t entry = image.DirectoryEntryOffset(PeImage::kDirectorySecurity);
    if (checkSum + 4 > entry || entry + 8 > tableOffset || !RangeFits(0, tableOffset, source.Size())) {
        return std::nullopt;
    }
    MdCtxPtr ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, tableOffset)));
    if (!HashRange(source, ctx.get(), buffer, 0, checkSum) ||
        !HashRange(source, ctx.get(), buffer, checkSum + 4, entry) ||
        !HashRange(source, ctx.get(), buffer, entry + 8, tableOffset)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &size) != 1) {
        return std::nullopt;
    }
    digest.resize(size);
    return digest;
}

} // namespace qz::platform
