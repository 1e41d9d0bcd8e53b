#include "config/IniFileText.h"

#include "platform/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/CodePage.h"
#include "platform/ShellPath.h"

namespace {

using Clock = std::chrono::steady_clock;

// Another writer holds the file: an exclusive flock on any descriptor, or a
// POSIX write lock of another process.
bool HeldByWriter(int fd)
{
    if (flock(fd, LOCK_SH | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    struct flock query = {};
    query.l_type = F_RDLCK;
    query.l_whence = SEEK_SET;
    if (fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK)
        return true;
    return false;
}

bool Transient(int error)
{
    return error == EBUSY || error == EAGAIN || error == ETXTBSY;
}

class Deadline {
public:
    explicit Deadline(int ms) : end_(Clock::now() + std::chrono::milliseconds(ms)) {}
    // Sleeps a millisecond; false when the time is up.
    bool Wait() const
    {
        if (Clock::now() >= end_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }

private:
    Clock::time_point end_;
};

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::wstring CQZIniFileText::FullName(const std::wstring& name)
{
    std::wstring path = name;
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    if (path.empty() || path[0] != L'/') {
        std::string cwd(4096, '\0');
        if (getcwd(cwd.data(), cwd.size()) != nullptr) {
            cwd.resize(cwd.find('\0'));
            path = qz::platform::WideFileName(cwd) + L"/" + path;
        }
    }
    return qz::platform::PathCanonicalize(path);
}

std::string CQZIniFileText::NativeName(const std::wstring& name)
{
    std::wstring path = name;
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    return qz::platform::NativeFileName(path);
}

bool CQZIniFileText::Exists(const std::wstring& name)
{
    const std::string native = NativeName(name);
    return !native.empty() && access(native.c_str(), F_OK) == 0;
}

bool CQZIniFileText::ReadBytes(const std::wstring& name, std::string& bytes, int lockWaitMs)
{
    bytes.clear();
    const std::string native = NativeName(name);
    if (native.empty())
        return false;
    const Deadline deadline(lockWaitMs);
    for (;;) {
        // Non-blocking, so that a FIFO under an INI name cannot stall the
        // open; only regular files are read below.
        Fd fd(open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (fd.get() < 0) {
            if (Transient(errno) && deadline.Wait())
                continue;
            return false;
        }
        if (HeldByWriter(fd.get())) {
            if (deadline.Wait())
                continue;
            return false;
        }
        struct stat st = {};
        if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        if (st.st_size > 0)
            bytes.reserve(static_cast<std::size_t>(st.st_size));
        char chunk[65536];
        for (;;) {
            const ssize_t n = read(fd.get(), chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (n == 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        return true;  // closing the descriptor drops the shared lock
    }
}

bool CQZIniFileText::WriteBytes(const std::wstring& name, std::string_view bytes, int lockWaitMs)
{
    const std::string native = NativeName(name);
    if (native.empty())
        return false;
    const Deadline deadline(lockWaitMs);
    for (;;) {
        Fd fd(open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
        if (fd.get() < 0) {
            if (Transient(errno) && deadline.Wait())
                continue;
            return false;
        }
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK && deadline.Wait())
                continue;
            return false;
        }
        if (ftruncate(fd.get(), 0) != 0)
            return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
}

bool CQZIniFileText::Decode(std::string_view bytes, CQZIniFileBuffer& out)
{
    out.text.clear();
    out.encoding = kQzIniEncodingAnsi;
    out.utf8Mark = false;
    if (bytes.empty())
        return true;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = bytes.size() >= 2 ? static_cast<unsigned char>(bytes[1]) : 0;
    if (bytes.size() >= 2 && ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF))) {
        const bool little = b0 == 0xFF;
        out.encoding = little ? kQzIniEncodingUtf16LE : kQzIniEncodingUtf16BE;
        const std::string_view rest = bytes.substr(2);
        out.text.reserve((rest.size() + 1) / 2);
        // Code units, not a converter: a lone surrogate must survive a save.
        for (std::size_t i = 0; 2 * i < rest.size(); ++i) {
            const auto lo = static_cast<unsigned char>(rest[2 * i]);
            const auto hi = 2 * i + 1 < rest.size() ? static_cast<unsigned char>(rest[2 * i + 1]) : 0;
            const wchar_t unit = little ? static_cast<wchar_t>(lo | (hi << 8)) : static_cast<wchar_t>((lo << 8) | hi);
            if (unit >= 0xDC00 && unit <= 0xDFFF && !out.text.empty() && out.text.back() >= 0xD800 &&
                out.text.back() <= 0xDBFF)
                out.text.back() = static_cast<wchar_t>(0x10000 + ((out.text.back() - 0xD800) << 10) + (unit - 0xDC00));
            else
                out.text.push_back(unit);
        }
    } else {
        if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            out.utf8Mark = true;
            bytes.remove_prefix(3);
        }
        out.text = qz::platform::WideFromAnsiBytes(bytes);
    }
    // The text ends at its first zero, as a zero-terminated buffer would.
    out.text.resize(std::min(out.text.size(), out.text.find(L'\0')));
    return !out.text.empty() || (out.utf8Mark && bytes.empty());
}

std::string CQZIniFileText::Encode(std::wstring_view text, std::uint32_t encoding, bool utf8Mark)
{
    // A lone byte-order mark would not open again; an empty file does.
    if (text.empty())
        return std::string();
    if (encoding == kQzIniEncodingUtf16LE || encoding == kQzIniEncodingUtf16BE) {
        const bool little = encoding == kQzIniEncodingUtf16LE;
        std::string bytes;
        bytes.reserve(2 + text.size() * 2);
        bytes += little ? "\xFF\xFE" : "\xFE\xFF";
        const auto put = [&](std::uint32_t u) {
            const char lo = static_cast<char>(u & 0xFF);
            const char hi = static_cast<char>((u >> 8) & 0xFF);
            bytes += little ? lo : hi;
            bytes += little ? hi : lo;
        };
        for (const wchar_t wc : text) {
            auto c = static_cast<std::uint32_t>(wc);
            if (c > 0x10FFFF)
                c = 0xFFFD;
            if (c >= 0x10000) {
                put(0xD800 + ((c - 0x10000) >> 10));
                put(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                put(c);  // lone surrogates included
            }
        }
        return bytes;
    }
    const std::string bytes = qz::platform::AnsiBytesFromWide(text);
    // Carried bytes that begin as a byte-order mark would be read as one: a
    // UTF-8 mark in front keeps them text.
    const bool looksMarked = bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0 ||
                             bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    return (utf8Mark || looksMarked ? std::string("\xEF\xBB\xBF") : std::string()) + bytes;
}
