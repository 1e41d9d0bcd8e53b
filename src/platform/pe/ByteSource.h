// Random-access byte input for the PE and signature parsers. Parsers read the
// ranges they need on demand, so a large file is never held in memory; every
// read is bounded by Size() and fails instead of reading short.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace qz::platform {

/// A wide path as the file system spells it: UTF-8, whatever the locale.
std::filesystem::path NativePath(const std::wstring& path);

/// Read-only bytes with a known size.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    /// Total number of bytes.
    virtual std::uint64_t Size() const = 0;
    /// Fills `dest` from `offset`; false when the range leaves the source or
    /// the read fails (then `dest` holds no meaningful data).
    virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> dest) const = 0;
};

/// True when [offset, offset + length) lies within `size`, without overflow.
constexpr bool RangeFits(std::uint64_t offset, std::uint64_t length, std::uint64_t size)
{
    return offset <= size && length <= size - offset;
}

/// Bytes already in memory; the span must outlive the source.
class MemoryByteSource : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> dest) const override;

  private:
    std::span<const std::uint8_t> bytes_;
};

/// A regular file read with positioned reads; its size is taken once at open.
class FileByteSource : public ByteSource {
  public:
    /// Opens a regular file for reading; null when it cannot be opened or is
    /// not a regular file.
    static std::unique_ptr<FileByteSource> Open(const std::filesystem::path& path);
    /// Reads a regular file through a copy of an open descriptor (which must
    /// allow reading): the bytes of that file, whatever its name holds now.
    static std::unique_ptr<FileByteSource> FromDescriptor(int fd);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> dest) const override;

  private:
    FileByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    static std::unique_ptr<FileByteSource> Adopt(int fd);
    int fd_;
    std::uint64_t size_;
};

} // namespace qz::platform
