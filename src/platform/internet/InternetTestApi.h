// What tests may observe of a request beyond the Internet functions.
#pragma once

#include "platform/internet/Internet.h"

#include <cstddef>

namespace qz::platform {

struct InternetTestApi {
    /// The most body bytes the request has held at once; 0 before it is sent
    /// or for a handle that is not an open request.
    static std::size_t BufferHighWater(HINTERNET request);
};

} // namespace qz::platform
