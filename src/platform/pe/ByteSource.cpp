#include "platform/pe/ByteSource.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::platform {

std::filesystem::path NativePath(const std::wstring& path)
{
    return std::filesystem::path(NativeFileName(path));
}

bool MemoryByteSource::Read(std::uint64_t offset, std::span<std::uint8_t> dest) const
{
    if (!RangeFits(offset, dest.size(), bytes_.size())) {
        return false;
    }
    if (!dest.empty()) {
        std::memcpy(dest.data(), bytes_.data() + offset, dest.size());
    }
    return true;
}

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::filesystem::path& path)
{
    // Without O_NONBLOCK opening a FIFO waits for a writer: a planted pipe
    // must be refused, not hang the reader.
    return Adopt(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

std::unique_ptr<FileByteSource> FileByteSource::FromDescriptor(int fd)
{
    return fd < 0 ? nullptr : Adopt(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

std::unique_ptr<FileByteSource> FileByteSource::Adopt(int fd)
{
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileByteSource>(new FileByteSource(fd, static_cast<std::uint64_t>(st.st_size)));
}

FileByteSource::~FileByteSource()
{
    ::close(fd_);
}

bool FileByteSource::Read(std::uint64_t offset, std::span<std::uint8_t> dest) const
{
    if (!RangeFits(offset, dest.size(), size_)) {
        return false;
    }
    std::size_t done = 0;
    while (done < dest.size()) {
        ssize_t n = ::pread(fd_, dest.data() + done, dest.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false; // error, or the file shrank under us
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace qz::platform
