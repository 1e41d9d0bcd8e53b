// Flag texts in: constant names joined by "|", as definition and template
// files write style words, dialog flags and alignment rules. Checks that
// blanks never change a word, that a word written back by its names reads
// back to the bits those names cover, and that positions and alignment
// rules come out of any text without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gui/DialogDefinition.h"
#include "gui/LayoutManager.h"
#include "gui/SymbolicConstants.h"
#include "platform/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text =
        qz::platform::MultiByteToWide(qz::platform::CP_UTF8, bytes).value_or(std::wstring());
    const CQZSymbolicConstants& constants = CQZSymbolicConstants::Instance();

    std::uint32_t value = 0;
    const bool known = constants.ParseFlagText(text, value);
    if (!known && value != 0)
        std::abort();
    if (constants.ParseFlags(text) != value)
        std::abort();

    // Within the read limit, blanks anywhere mean nothing.
    if (text.size() < CQZSymbolicConstants::kFlagTextBufferSize) {
        std::wstring packed;
        for (const wchar_t c : text) {
            if (c != L' ')
                packed += c;
        }
        if (constants.ParseFlags(packed) != value)
            std::abort();
    }

    // Writing the word back by window-style names loses no named bit.
    const std::wstring written = constants.FormatFlags(value, L"WS_");
    const std::uint32_t reread = constants.ParseFlags(written);
    if ((reread & ~value) != 0)
        std::abort();

    (void)CQZDialogDefinition::ParsePosition(text);
    QzLayoutRule rule;
    if (CQZLayoutManager::ParseRule(text, rule)) {
        if (rule.control.empty())
            std::abort();
        const qz::platform::RECT placed =
            CQZLayoutManager::Place(qz::platform::RECT{10, 10, 50, 30}, qz::platform::RECT{0, 0, 400, 300}, rule, 168, 168);
        if (placed.right < placed.left || placed.bottom < placed.top)
            std::abort();
    }
    return 0;
}
