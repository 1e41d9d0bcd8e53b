#include "gui/ControlTemplate.h"

CQZControlTemplate::CQZControlTemplate(std::wstring name, QzTemplateFamily family)
    : name_(std::move(name)), family_(family)
{
}

void CQZControlTemplate::InheritFrom(const CQZControlTemplate& base)
{
    options_ = base.options_;
    flags_ = base.flags_;
    ints_ = base.ints_;
    colors_ = base.colors_;
    rects_ = base.rects_;
    images_ = base.images_;
    fonts_ = base.fonts_;
    fontGroups_ = base.fontGroups_;
    imageGroups_ = base.imageGroups_;
    texts_ = base.texts_;
    points_ = base.points_;
}

std::uint32_t CQZControlTemplate::GetFlags(std::wstring_view key, std::uint32_t defaultValue) const
{
    const std::uint32_t* value = FindFlags(key);
    return value ? *value : defaultValue;
}

std::int32_t CQZControlTemplate::GetInt(std::wstring_view key, std::int32_t defaultValue) const
{
    const std::int32_t* value = FindInt(key);
    return value ? *value : defaultValue;
}

QzColorRef CQZControlTemplate::GetColor(std::wstring_view key, QzColorRef defaultValue) const
{
    const QzColorRef* value = FindColor(key);
    return value ? *value : defaultValue;
}

qz::platform::RECT CQZControlTemplate::GetRect(std::wstring_view key, qz::platform::RECT defaultValue) const
{
    const qz::platform::RECT* value = FindRect(key);
    return value ? *value : defaultValue;
}

std::wstring CQZControlTemplate::GetText(std::wstring_view key) const
{
    const std::wstring* value = FindText(key);
    return value ? *value : std::wstring();
}

std::size_t CQZControlTemplate::GetValueCount() const
{
    return flags_.size() + ints_.size() + colors_.size() + rects_.size() + images_.size() + fonts_.size() +
           fontGroups_.size() + imageGroups_.size() + texts_.size() + points_.size();
}
