// A control-template file: every section but "general" is one named template
// of a control family; "general" gives the default images and the named
// values that colour keys may refer to. Loaded once and shared through the
// template cache.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/QzStringMap.h"
#include "gui/ControlTemplate.h"

class CQZIniFileReader;
class QImage;

class CQZControlTemplateFile {
  public:
    /// The section that holds defaults rather than a template.
    static constexpr const wchar_t* kGeneralSection = L"general";
    /// The "general" section is read through a buffer of this size.
    static constexpr std::uint32_t kGeneralBufferSize = 4096;
    /// Texts of "baseTemplate" and "controlClass" are read up to this size.
    static constexpr std::uint32_t kNameBufferSize = 512;
    /// Image names are cut to this many characters.
    static constexpr std::size_t kMaxImageName = 255;

    ~CQZControlTemplateFile();
    CQZControlTemplateFile(const CQZControlTemplateFile&) = delete;
    CQZControlTemplateFile& operator=(const CQZControlTemplateFile&) = delete;

    /// Reads the file `folder` + `fileName`; relative image files are found
    /// in the file's folder, then in `searchFolders`. Null when the file
    /// does not exist or cannot be read.
    static std::shared_ptr<CQZControlTemplateFile> Load(const std::wstring& folder,
                                                        const std::wstring& fileName,
                                                        const std::vector<std::wstring>& searchFolders = {});

    /// The full path the file was read from.
    const std::wstring& GetPath() const { return path_; }

    /// Index of the template with that section name (without regard to
    /// case), or -1 when there is none.
    std::ptrdiff_t FindTemplate(std::wstring_view name) const;
    /// The template at an index from FindTemplate (null when out of range).
    const CQZControlTemplate* GetTemplate(std::ptrdiff_t index) const;
    /// The template with that name, or null.
    const CQZControlTemplate* GetTemplate(std::wstring_view name) const;
    /// Templates in section order.
    std::size_t GetTemplateCount() const { return templates_.size(); }

    /// The value text a name of the "general" section stands for.
    std::optional<std::wstring> GetNamedValue(std::wstring_view name) const;
    /// The file behind an image name: a default image of "general" or a
    /// file found relative to the template file. Empty when neither.
    std::wstring ResolveImage(std::wstring_view imageName) const;
    /// The pixels of an image name, loaded on first use and kept; null
    /// when the image cannot be found or decoded.
    std::shared_ptr<const QImage> GetImage(std::wstring_view imageName) const;

  private:
    friend class CQZControlTemplateBuilder;

    CQZControlTemplateFile() = default;

    std::wstring path_;
    std::wstring folder_;
    std::vector<std::wstring> searchFolders_;
    std::vector<CQZControlTemplate> templates_;
    CQzStringMap<std::size_t> index_;
    CQzStringMap<std::wstring> namedValues_;

    // Image name to file; the defaults of "general" first, other names as
    // they are first resolved.
    mutable std::mutex imageLock_;
    mutable CQzStringMap<std::wstring> imageTable_;
    mutable std::map<std::wstring, std::shared_ptr<const QImage>> pixels_;
};
