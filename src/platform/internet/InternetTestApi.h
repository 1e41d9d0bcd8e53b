// What tests may observe of a request beyond the Internet functions.
#pragma once

#include "platform/internet/Internet.h"

#include <cstddef>

namespace qz::platform {

struct InternetTestApi {
    /// The most body bytes the request has held at once; 0 before it is sent
    /// or for a handle that is not an open request.
    static std::size_t BufferHighWater(HINTERNET request);
    /// The most upload bytes the request has held at once, gathered and not
    /// yet sent; 0 when nothing was written.
    static std::size_t UploadHighWater(HINTERNET request);
};

} // namespace qz::platform
