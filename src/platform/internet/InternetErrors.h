// The per-thread last error of the Internet functions.
#pragma once

#include <cstdint>
#include <string>

namespace qz::platform::internet {

/// Records the outcome of the current call on this thread; detail is the
/// connection library's own wording, appended to the description in logs.
void SetLastError(std::uint32_t error, std::string detail = {});

} // namespace qz::platform::internet
