#include "platform/FileNames.h"

#include "platform/CodePage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qz::platform {

std::string NativeFileName(std::wstring_view name)
{
    return AnsiBytesFromWide(name);
}

std::wstring WideFileName(std::string_view bytes)
{
    return WideFromAnsiBytes(bytes);
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath)
{
    // Plain reads: a stream's buffer throws from deep inside an iterator when
    // the name is a folder, whatever exception mask the stream has.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

}  // namespace qz::platform
