#include "patchservice/ResumeRecord.h"

#include "platform/StagedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr std::string_view kFirstLine = "QzAutoUpdate partial download";

bool IsOneLine(std::string_view text)
{
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool ParseLength(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

std::string CResumeRecord::Serialize() const
{
    if (url.empty() || validator.empty() || total == 0 || !IsOneLine(url) || !IsOneLine(validator))
        return {};
    return std::string(kFirstLine) + "\nurl=" + url + "\nvalidator=" + validator + "\ntotal=" +
           std::to_string(total) + "\n";
}

std::optional<CResumeRecord> CResumeRecord::Parse(std::string_view text)
{
    if (text.size() > kMaxSize)
        return std::nullopt;
    CResumeRecord record;
    bool haveUrl = false, haveValidator = false, haveTotal = false;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        // Every line ends with a line feed: a record cut short is not a record.
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kFirstLine)
                return std::nullopt;
            first = false;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || !IsOneLine(line))
            return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "url" && !haveUrl) {
            record.url = value;
            haveUrl = true;
        } else if (key == "validator" && !haveValidator) {
            record.validator = value;
            haveValidator = true;
        } else if (key == "total" && !haveTotal && ParseLength(value, record.total)) {
            haveTotal = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveUrl || !haveValidator || !haveTotal || record.url.empty() || record.validator.empty() ||
        record.total == 0)
        return std::nullopt;
    return record;
}

std::optional<CResumeRecord> CResumeRecord::Load(const std::string& target, std::string& problem)
{
    const int fd = qz::platform::OpenOwnFile(NameFor(target), O_RDONLY, problem);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    const bool read = qz::platform::ReadDescriptor(fd, kMaxSize + 1, text);
    ::close(fd);
    std::optional<CResumeRecord> record;
    if (read)
        record = Parse(text);
    if (!record)
        problem = "its record cannot be read";
    return record;
}

bool CResumeRecord::Save(const std::string& target) const
{
    const std::string text = Serialize();
    return !text.empty() && qz::platform::WriteFileAtomically(NameFor(target), text);
}

void CResumeRecord::Remove(const std::string& target) { ::unlink(NameFor(target).c_str()); }
