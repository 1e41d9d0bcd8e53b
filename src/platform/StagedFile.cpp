#include "platform/StagedFile.h"

#include "platform/FileNames.h"
#include "platform/ShellFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace qz::platform {

StagedFile::~StagedFile() { Discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), placed_(other.placed_),
      continued_(other.continued_), finalName_(std::move(other.finalName_)), currentName_(std::move(other.currentName_))
{
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        placed_ = other.placed_;
        continued_ = other.continued_;
        finalName_ = std::move(other.finalName_);
        currentName_ = std::move(other.currentName_);
    }
    return *this;
}

bool StagedFile::Create(const std::string& finalName)
{
    Discard();
    std::string name = finalName + ".XXXXXX";
    // mkostemp creates with O_EXCL and mode 0600: a planted file or link
    // under the name makes it try another name, never write through it.
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    fd_ = fd;
    size_ = 0;
    placed_ = false;
    continued_ = false;
    finalName_ = finalName;
    currentName_ = std::move(name);
    return true;
}

bool StagedFile::Write(const void* data, std::size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        if (fd_ < 0)
            return false;
        const ssize_t n = ::write(fd_, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
        size_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool StagedFile::MoveTo(const std::string& name)
{
    if (fd_ < 0 || currentName_.empty())
        return false;
    if (::rename(currentName_.c_str(), name.c_str()) != 0)
        return false;
    currentName_ = name;
    placed_ = true;
    return true;
}

bool StagedFile::Commit() { return MoveTo(finalName_); }

bool StagedFile::KeepPartial() { return MoveTo(finalName_ + std::string(kPartialSuffix)); }

void StagedFile::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void StagedFile::Discard()
{
    if (fd_ >= 0 && !placed_ && !currentName_.empty())
        ::unlink(currentName_.c_str());
    Close();
    placed_ = false;
    continued_ = false;
    currentName_.clear();
}

bool StagedFile::ContinuePartial(const std::string& finalName, std::string& problem)
{
    const std::string name = finalName + std::string(kPartialSuffix);
    const int fd = OpenOwnFile(name, O_RDWR | O_APPEND, problem);
    if (fd < 0)
        return false;
    struct stat st {};
    ::fstat(fd, &st);
    Discard();
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    placed_ = true;
    continued_ = true;
    finalName_ = finalName;
    currentName_ = name;
    return true;
}

void StagedFile::Remove()
{
    if (fd_ >= 0 && !currentName_.empty() && currentName_ != finalName_)
        ::unlink(currentName_.c_str());
    // Nothing left to unlink: what Discard does next only closes.
    placed_ = true;
    Discard();
}

int OpenOwnFile(const std::string& name, int flags, std::string& problem)
{
    // O_NONBLOCK: a planted FIFO must not hold us until somebody writes.
    const int fd = ::open(name.c_str(), flags | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errno == ELOOP ? "it is a link" : errno == ENOENT ? "there is none" : "it cannot be opened";
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        problem = "it is not a regular file";
    else if (st.st_uid != ::geteuid())
        problem = "it belongs to another user";
    else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        problem = "others may read or write it";
    else if (st.st_nlink != 1)
        problem = "it has more than one name";
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        return fd;
    else
        problem = "it cannot be opened";
    ::close(fd);
    return -1;
}

bool WriteFileAtomically(const std::string& finalName, std::string_view bytes)
{
    StagedFile file;
    return file.Create(finalName) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

bool ReadDescriptor(int fd, std::uint64_t limit, std::string& bytes)
{
    bytes.clear();
    char block[65536];
    std::uint64_t offset = 0;
    while (offset < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof block, limit - offset));
        const ssize_t n = ::pread(fd, block, want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        bytes.append(block, static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool IsPrivateFolder(const std::string& folder, std::string& problem)
{
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        problem = "it cannot be read";
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        problem = S_ISLNK(st.st_mode) ? "it is a link" : "it is not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        problem = "it belongs to another user";
        return false;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem = "others may write into it";
        return false;
    }
    return true;
}

std::string PrivateTempFolder(std::string& problem)
{
    const std::string folder = NativeFileName(GetTempFolderPath());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "it cannot be made";
        return {};
    }
    if (!IsPrivateFolder(folder, problem))
        return {};
    return folder;
}

}  // namespace qz::platform
