// Writes small, valid PE32 and PE32+ executables for tests: headers, a few
// sections with recognisable contents, and optionally a version resource.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qz::test {

/// The contents of a version resource.
struct VersionResourceContents {
    /// Language and code-page pairs of "\VarFileInfo\Translation"; empty
    /// leaves the VarFileInfo block out.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations = {{0x0409, 0x04b0}};
    /// String tables: the table key ("040904b0") and its key/value pairs.
    std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>> tables;
};

class PeWriter {
  public:
    /// A PE32+ (x64) image when `is64`, else PE32 (x86), with a code and a data section.
    explicit PeWriter(bool is64 = true);

    /// Adds a section; its raw size is rounded up to the file alignment.
    void AddSection(std::string name, std::vector<std::uint8_t> data);
    /// Adds a ".rsrc" section holding a version resource.
    void SetVersionResource(const VersionResourceContents& contents);

    /// The image bytes; the length is a multiple of 512.
    std::vector<std::uint8_t> Build() const;
    /// Builds and writes the image to `path`.
    void WriteTo(const std::filesystem::path& path) const;

    /// The raw VS_VERSIONINFO block of `contents`.
    static std::vector<std::uint8_t> BuildVersionInfo(const VersionResourceContents& contents);

  private:
    struct Section {
        std::string name;
        std::vector<std::uint8_t> data;
        bool resource = false;
    };
    bool is64_;
    std::vector<Section> sections_;
    VersionResourceContents version_;
    bool hasVersion_ = false;
};

/// Reads a whole (small) file.
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
/// Writes a whole file, replacing it.
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

} // namespace qz::test
