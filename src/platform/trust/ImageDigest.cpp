#include "platform/trust/ImageDigest.h"

#include <algorithm>

namespace qz::platform {

namespace {

constexpr std::size_t kBlockSize = 1u << 20;
constexpr std::uint64_t kDosHeaderSize = 64;

// The bytes received so far, as the header parser sees them; remembers how
// far the first read that ran past them wanted to go.
class PrefixSource : public ByteSource {
  public:
    explicit PrefixSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> dest) const override
    {
        if (!memory_.Read(offset, dest)) {
            if (wanted_ == 0) {
                wanted_ = offset + dest.size();
            }
            return false;
        }
        return true;
    }
    std::uint64_t Wanted() const { return wanted_; }

  private:
    std::span<const std::uint8_t> bytes_;
    MemoryByteSource memory_{bytes_};
    mutable std::uint64_t wanted_ = 0;
};

} // namespace

std::optional<ImageDigestLayout> ImageDigestLayout::Of(const PeImage& image)
{
    const auto security = image.Directory(PeImage::kDirectorySecurity);
    if (!security) {
        return std::nullopt;
    }
    return ImageDigestLayout{image.CheckSumOffset(), image.DirectoryEntryOffset(PeImage::kDirectorySecurity),
                             security->address};
}

ImageDigestStream::ImageDigestStream(std::vector<const EVP_MD*> algorithms) : algorithms_(std::move(algorithms))
{
    Restart();
}

ImageDigestStream::ImageDigestStream(const ImageDigestLayout& layout, const EVP_MD* md)
    : algorithms_{md}, learns_(false), layout_(layout)
{
    Restart();
}

void ImageDigestStream::Restart()
{
    fed_ = 0;
    hashedTo_ = 0;
    head_.clear();
    headWanted_ = kDosHeaderSize;
    contexts_.clear();
    for (const EVP_MD* md : algorithms_) {
        MdCtxPtr ctx(EVP_MD_CTX_new());
        if (!ctx || !md || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) {
            state_ = State::Unknowable;
            return;
        }
        contexts_.push_back(std::move(ctx));
    }
    if (learns_) {
        layout_ = {};
        state_ = State::Learning;
    } else {
        state_ = layout_.IsValid() ? State::Hashing : State::Unknowable;
    }
}

void ImageDigestStream::Update(std::span<const std::uint8_t> bytes)
{
    fed_ += bytes.size();
    // Only the header bytes are kept, never a large block that happens to
    // start the file.
    while (state_ == State::Learning && !bytes.empty()) {
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(headWanted_ - head_.size(), bytes.size()));
        head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (head_.size() >= headWanted_) {
            Learn();
        }
    }
    if (state_ == State::Hashing) {
        Hash(bytes);
    }
}

void ImageDigestStream::Learn()
{
    const PrefixSource prefix(head_);
    const auto image = PeImage::Parse(prefix);
    if (!image) {
        if (prefix.Wanted() > head_.size() && prefix.Wanted() <= kMaxHeaderBytes) {
            headWanted_ = prefix.Wanted();
        } else {
            state_ = State::Unknowable;
        }
        return;
    }
    const auto layout = ImageDigestLayout::Of(*image);
    if (!layout || !layout->IsValid()) {
        state_ = State::Unknowable;
        return;
    }
    layout_ = *layout;
    StartHashing();
}

void ImageDigestStream::StartHashing()
{
    state_ = State::Hashing;
    std::vector<std::uint8_t> head;
    head.swap(head_);
    Hash(head);
}

void ImageDigestStream::Hash(std::span<const std::uint8_t> bytes)
{
    const std::uint64_t from = hashedTo_;
    const std::uint64_t to = from + bytes.size();
    hashedTo_ = to;
    const std::uint64_t kept[3][2] = {{0, layout_.checkSum},
                                      {layout_.checkSum + 4, layout_.securityEntry},
                                      {layout_.securityEntry + 8, layout_.tableOffset}};
    for (const auto& range : kept) {
        const std::uint64_t lo = std::max(range[0], from);
        const std::uint64_t hi = std::min(range[1], to);
        if (lo >= hi) {
            continue;
        }
        for (const MdCtxPtr& ctx : contexts_) {
            if (EVP_DigestUpdate(ctx.get(), bytes.data() + (lo - from), static_cast<std::size_t>(hi - lo)) != 1) {
                state_ = State::Unknowable;
                return;
            }
        }
    }
}

std::optional<std::vector<std::uint8_t>> ImageDigestStream::Digest(const ImageDigestLayout& layout,
                                                                   const EVP_MD* md, std::uint64_t fileSize) const
{
    if (state_ != State::Hashing || !(layout == layout_) || fed_ != fileSize || fed_ < layout_.tableOffset ||
        md == nullptr) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < algorithms_.size(); ++i) {
        if (EVP_MD_get_type(algorithms_[i]) != EVP_MD_get_type(md)) {
            continue;
        }
        // Finishing a copy leaves the stream as it was.
        MdCtxPtr copy(EVP_MD_CTX_new());
        std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
        unsigned int size = 0;
        if (!copy || EVP_MD_CTX_copy_ex(copy.get(), contexts_[i].get()) != 1 ||
            EVP_DigestFinal_ex(copy.get(), digest.data(), &size) != 1) {
            return std::nullopt;
        }
        digest.resize(size);
        return digest;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ComputeImageDigest(const ByteSource& source,
                                                            const ImageDigestLayout& layout, const EVP_MD* md)
{
    if (!layout.IsValid() || !RangeFits(0, layout.tableOffset, source.Size())) {
        return std::nullopt;
    }
    ImageDigestStream stream(layout, md);
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, layout.tableOffset)));
    for (std::uint64_t at = 0; at < layout.tableOffset;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), layout.tableOffset - at));
        if (!source.Read(at, std::span(buffer.data(), n))) {
            return std::nullopt;
        }
        stream.Update(std::span(buffer.data(), n));
        at += n;
    }
    return stream.Digest(layout, md, layout.tableOffset);
}

} // namespace qz::platform
