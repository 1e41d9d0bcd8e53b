// What a partial download needs to be continued by a later transfer: the URL
// it came from, the validator the server gave for it and the whole length.
// It lives beside the download as "<target>.resume" and is written and read
// under the same rules as the partial file itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CResumeRecord {
public:
    static constexpr std::string_view kSuffix = ".resume";
    /// Longer than any record we write; a longer file is not ours.
    static constexpr std::size_t kMaxSize = 16 * 1024;

    std::string url;       ///< UTF-8.
    std::string validator; ///< A strong ETag, else Last-Modified, as the server sent it.
    std::uint64_t total = 0;

    /// The record's text; empty when a field cannot be written on one line.
    std::string Serialize() const;
    /// The record a text holds; nothing for a text we did not write.
    static std::optional<CResumeRecord> Parse(std::string_view text);

    /// The record beside `target` (a native file name), taken only from a
    /// file of ours; nothing, with `problem` saying why, otherwise.
    static std::optional<CResumeRecord> Load(const std::string& target, std::string& problem);
    /// Writes the record beside `target` through a staged file.
    bool Save(const std::string& target) const;
    static void Remove(const std::string& target);
    static std::string NameFor(const std::string& target) { return target + std::string(kSuffix); }
};
