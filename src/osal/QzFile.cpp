#include "osal/QzFile.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QzOSAL {

namespace {

// Why opening failed, as a result of Open.
int OpenFailure(int error, bool writing, const std::string& name)
{
    switch (error) {
    case ENOENT:
        return QzFile::kNotFound;
    case EEXIST:
        return QzFile::kExists;
    case EROFS:
        return QzFile::kReadOnly;
    case EACCES: {
        // Denied because the file itself may not be written, not because of
        // its folder: the read-only case.
        struct stat info {};
        if (writing && stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            (info.st_mode & S_IWUSR) == 0) {
            return QzFile::kReadOnly;
        }
        return QzFile::kFailed;
    }
    default:
        return QzFile::kFailed;
    }
}

} // namespace

QzFile::QzFile(const QzPath& path) : path_(path) {}

QzFile::~QzFile()
{
    if (open_) {
        Close();
    }
}

int QzFile::Open(std::uint32_t mode)
{
    if ((mode & (kModeRead | kModeWrite | kModeReadWrite)) == 0 || open_) {
        return kFailed;
    }
    const bool writing = (mode & (kModeWrite | kModeReadWrite)) != 0;
    // Non-blocking only while opening: a FIFO under the name would otherwise
    // wait for a writer for ever.
    int flags = O_CLOEXEC | O_NONBLOCK;
    if ((mode & kModeReadWrite) != 0) {
        flags |= O_RDWR;
    } else if ((mode & kModeWrite) != 0) {
        flags |= O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    if (writing && (mode & kModeMustExist) == 0) {
        flags |= (mode & kModeTruncate) != 0 ? O_CREAT | O_TRUNC : O_CREAT;
    }
    const std::string name = qz::platform::NativeFileName(path_.GetPath());
    int fd;
    do {
        fd = open(name.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return OpenFailure(errno, writing, name);
    }
    // A folder opens for reading on Linux but is no file to read or write;
    // nor is a FIFO, a device or a socket.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return kFailed;
    }
    handle_ = fd;
    open_ = true;
    return kOk;
}

int QzFile::Close()
{
    if (!open_) {
        return kNotOpen;
    }
    open_ = false;
    const int fd = handle_;
    handle_ = -1;
    // The descriptor is released even when close reports an error.
    return fd >= 0 && close(fd) == 0 ? kOk : kFailed;
}

int QzFile::Seek(std::int64_t offset, int origin)
{
    if (!open_) {
        return kFailed;
    }
    const int whence = origin == kFromBegin ? SEEK_SET : origin == kFromEnd ? SEEK_END : SEEK_CUR;
    return lseek(handle_, static_cast<off_t>(offset), whence) < 0 ? kFailed : kOk;
}

int QzFile::SeekToBegin()
{
    return Seek(0, kFromBegin);
}

int QzFile::SeekToEnd()
{
    return Seek(0, kFromEnd);
}

int QzFile::GetPosition(std::uint64_t& position) const
{
    if (!open_) {
        return kFailed;
    }
    const off_t at = lseek(handle_, 0, SEEK_CUR);
    if (at < 0) {
        return kFailed;
    }
    position = static_cast<std::uint64_t>(at);
    return kOk;
}

int QzFile::GetLength(std::uint64_t& length) const
{
    struct stat info {};
    if (!open_ || fstat(handle_, &info) != 0) {
        return kFailed;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    return kOk;
}

int QzFile::SetLength()
{
    if (!open_) {
        return kFailed;
    }
    const off_t at = lseek(handle_, 0, SEEK_CUR);
    return at < 0 || ftruncate(handle_, at) != 0 ? kFailed : kOk;
}

int QzFile::Write(const void* buffer, std::size_t count, std::size_t* written)
{
    if (written != nullptr) {
        *written = 0;
    }
    if (!open_ || (buffer == nullptr && count > 0)) {
        return kFailed;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = write(handle_, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (written != nullptr) {
                *written = done;
            }
            return kFailed;
        }
        done += static_cast<std::size_t>(n);
    }
    if (written != nullptr) {
        *written = done;
    }
    return kOk;
}

int QzFile::Read(void* buffer, std::size_t count, std::size_t& read)
{
    read = 0;
    if (!open_ || (buffer == nullptr && count > 0)) {
        return kFailed;
    }
    auto* bytes = static_cast<char*>(buffer);
    while (read < count) {
        const ssize_t n = ::read(handle_, bytes + read, count - read);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return kFailed;
        }
        if (n == 0) {
            break;
        }
        read += static_cast<std::size_t>(n);
    }
    return kOk;
}

} // namespace QzOSAL
