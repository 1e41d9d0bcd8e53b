#include "gui/LayoutManager.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cwchar>

#include "config/QzStringMap.h"
#include "gui/SymbolicConstants.h"
#include "platform/window/WindowSystem.h"

namespace {

using qz::platform::RECT;

constexpr std::uint32_t kSizingBits = 0x780;

// value * dpi / 96, rounded half away from zero as MulDiv rounds.
int Scale(int value, int dpi)
{
    const long long scaled = (static_cast<long long>(value) * dpi * 2 + (value < 0 ? -96 : 96)) / (96 * 2);
    return static_cast<int>(std::clamp<long long>(scaled, INT_MIN / 4, INT_MAX / 4));
}

int Clamp(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN / 4, INT_MAX / 4));
}

// One axis of a rule: where the start and end edges of the control go.
struct Axis {
    int start;
    int end;
};

Axis PlaceAxis(Axis control, Axis reference, std::uint32_t startFlag, std::uint32_t endFlag, bool keepSize,
               bool centre, int startValue, int endValue, std::uint32_t nearFlag, std::uint32_t percentFlag,
               int dpi)
{
    const long long size = static_cast<long long>(control.end) - control.start;
    const long long extent = static_cast<long long>(reference.end) - reference.start;
    if (centre) {
        const long long start = reference.start + (extent - size) / 2 + Scale(startValue, dpi) - Scale(endValue, dpi);
        return Axis{Clamp(start), Clamp(start + size)};
    }
    // Start edges lie `value` after the reference edge, end edges before it.
    const auto edge = [&](std::uint32_t flag, int value, bool isStart) -> long long {
        if (flag == percentFlag)
            return reference.start + extent * value / 100;
        const long long base = flag == nearFlag ? reference.start : reference.end;
        return isStart ? base + Scale(value, dpi) : base - Scale(value, dpi);
    };
    long long start = control.start;
    long long end = control.end;
    if (startFlag != 0)
        start = edge(startFlag, startValue, true);
    if (endFlag != 0)
        end = edge(endFlag, endValue, false);
    if (keepSize) {
        if (startFlag != 0)
            end = start + size;
        else if (endFlag != 0)
            start = end - size;
    }
    end = std::max(end, start);
    return Axis{Clamp(start), Clamp(end)};
}

// The rectangle of a child in its dialog's client coordinates.
bool ChildRect(qz::platform::HWND dialog, qz::platform::HWND child, RECT& rect)
{
    if (!qz::platform::GetWindowRect(child, &rect))
        return false;
    return qz::platform::MapWindowRect(nullptr, dialog, &rect);
}

} // namespace

bool CQZLayoutManager::ParseRule(const std::wstring& value, QzLayoutRule& rule)
{
    std::wstring text;
    for (const wchar_t c : value) {
        if (c != L' ' && c != L'\t')
            text += c;
    }
    std::vector<std::wstring> fields;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(L',', begin);
        fields.push_back(text.substr(begin, comma == std::wstring::npos ? std::wstring::npos : comma - begin));
        if (comma == std::wstring::npos)
            break;
        begin = comma + 1;
    }
    if (fields.size() < 11)
        return false;
    for (std::size_t i = 7; i < 11; ++i) {
        if (fields[i].empty())
            return false;
    }
    const CQZSymbolicConstants& constants = CQZSymbolicConstants::Instance();
    rule.control = fields[0];
    rule.reference = fields[1];
    std::uint32_t* const flags[5] = {&rule.left, &rule.top, &rule.right, &rule.bottom, &rule.sizing};
    for (std::size_t i = 0; i < 5; ++i)
        *flags[i] = constants.ParseFlags(fields[2 + i]);
    for (std::size_t i = 0; i < 4; ++i) {
        const long number = std::wcstol(fields[7 + i].c_str(), nullptr, 10);
        rule.values[i] = static_cast<int>(std::clamp<long>(number, INT_MIN / 4, INT_MAX / 4));
    }
    if (rule.control.empty())
        return false;
    const auto horizontal = [](std::uint32_t f) { return f < 3 || f == QZGUI_PERCENT_WIDTH; };
    const auto vertical = [](std::uint32_t f) {
        return f == 0 || f == QZGUI_TOP || f == QZGUI_BOTTOM || f == QZGUI_PERCENT_HEIGHT;
    };
    if (!horizontal(rule.left) || !horizontal(rule.right) || !vertical(rule.top) || !vertical(rule.bottom))
        return false;
    return rule.sizing == 0 || (rule.sizing & kSizingBits) != 0;
}

qz::platform::RECT CQZLayoutManager::Place(const RECT& control, const RECT& reference, const QzLayoutRule& rule,
                                           int dpiX, int dpiY)
{
    const Axis x = PlaceAxis(Axis{control.left, control.right}, Axis{reference.left, reference.right}, rule.left,
                             rule.right, (rule.sizing & QZGUI_SIZEX) != 0, (rule.sizing & QZGUI_CENTERX) != 0,
                             rule.values[0], rule.values[2], QZGUI_LEFT, QZGUI_PERCENT_WIDTH, dpiX);
    const Axis y = PlaceAxis(Axis{control.top, control.bottom}, Axis{reference.top, reference.bottom}, rule.top,
                             rule.bottom, (rule.sizing & QZGUI_SIZEY) != 0, (rule.sizing & QZGUI_CENTERY) != 0,
                             rule.values[1], rule.values[3], QZGUI_TOP, QZGUI_PERCENT_HEIGHT, dpiY);
    return RECT{x.start, y.start, x.end, y.end};
}

void CQZLayoutManager::AddRule(QzLayoutRule rule)
{
    rules_.push_back(std::move(rule));
}

void CQZLayoutManager::SetDpi(int dpiX, int dpiY)
{
    dpiX_ = dpiX > 0 ? dpiX : 96;
    dpiY_ = dpiY > 0 ? dpiY : 96;
}

int CQZLayoutManager::Apply(qz::platform::HWND dialog, const std::wstring& dialogName,
                            const Resolver& resolve) const
{
    if (!qz::platform::IsWindow(dialog))
        return 0;
    int moved = 0;
    for (const QzLayoutRule& rule : rules_) {
        const qz::platform::HWND control = resolve(rule.control);
        RECT current;
        if (!control || control == dialog || !ChildRect(dialog, control, current))
            continue;
        RECT reference;
        if (rule.reference.empty() || (!dialogName.empty() && QzEqualsNoCase(rule.reference, dialogName))) {
            qz::platform::GetClientRect(dialog, &reference);
        } else {
            const qz::platform::HWND other = resolve(rule.reference);
            if (!other || other == control || !ChildRect(dialog, other, reference))
                continue;
        }
        const RECT placed = Place(current, reference, rule, dpiX_, dpiY_);
        if (placed == current)
            continue;
        qz::platform::SetWindowPos(control, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
                                   qz::platform::SWP_NOZORDER | qz::platform::SWP_NOACTIVATE);
        ++moved;
    }
    return moved;
}
