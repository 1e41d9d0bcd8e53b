// The library's string table as seen from code below the dialogs: a numbered
// text in the user's language. The language resources install the provider;
// until they do, the English (United Kingdom) texts built in here answer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qz::platform {

using StringProvider = std::function<std::wstring(std::uint32_t id)>;

/// The text with number `id`; empty when there is none.
std::wstring LoadResourceString(std::uint32_t id);

/// Makes `provider` the source of texts; an empty one restores the built-in
/// English texts. A provider answering empty falls back to them too.
void SetStringProvider(StringProvider provider);

}  // namespace qz::platform
