// `qzskin check`: reads a skin folder as the dialog designer does and names,
// one line each, everything in it that would not apply when a dialog loads.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CQZControlTemplate;
class CQZControlTemplateFile;
class CQZDialogDefinition;
class CQZIniFileReader;

/// One finding: where it is and what is wrong.
struct QzSkinFinding {
    std::wstring file;
    std::wstring section;
    std::wstring key;
    std::wstring message;

    /// "file [section] key: message", the parts that are empty left out.
    std::wstring Format() const;
};

class CQzSkinCheck {
  public:
    /// Control types a definition file may name although the library has no
    /// such control, because the update dialogs make them in their
    /// custom-control hooks: "WebBrowser" (the description pane of the
    /// update dialog) and "unknown" (looked up from the dialog by name).
    static const std::vector<std::wstring>& DialogControlTypes();
    /// The control types the designer creates or subclasses itself.
    static const std::vector<std::wstring>& LibraryControlTypes();

    /// `folder` holds the skin: its definition files lie in its "Dialogs"
    /// folder when it has one, else in the folder itself.
    explicit CQzSkinCheck(std::wstring folder);
    ~CQzSkinCheck();

    /// Checks every definition file (a .ini file with a [dialog] section)
    /// and every template file they name; the findings in file order.
    const std::vector<QzSkinFinding>& Run();

  private:
    void CheckDefinition(const std::wstring& path);
    void CheckDialogSection(CQZDialogDefinition& definition, CQZIniFileReader& reader,
                            const std::wstring& file, bool templatesLoaded);
    void CheckRecords(CQZDialogDefinition& definition, CQZIniFileReader& reader, const std::wstring& file,
                      bool templatesLoaded);
    void CheckAlignment(const CQZDialogDefinition& definition, CQZIniFileReader& reader, const std::wstring& file);
    void CheckAlignmentSections(CQZIniFileReader& reader, const std::wstring& file);
    void CheckTemplateFile(const std::shared_ptr<CQZControlTemplateFile>& file);
    void CheckTemplate(const CQZControlTemplateFile& file, CQZIniFileReader& reader,
                       const std::wstring& section, const std::wstring& shown);
    void CheckBaseCycle(const CQZControlTemplateFile& file, const CQZControlTemplate& start,
                        const std::wstring& shown, const std::wstring& key);
    void CheckImage(const CQZControlTemplateFile& file, const std::wstring& name, const std::wstring& shown,
                    const std::wstring& section, const std::wstring& key);
    void CheckFlagText(const std::wstring& text, const std::wstring& shown, const std::wstring& section,
                       const std::wstring& key);
    void Add(const std::wstring& file, const std::wstring& section, const std::wstring& key,
             const std::wstring& message);
    /// A path as the report shows it: relative to the checked folder when
    /// it lies inside it.
    std::wstring Shown(const std::wstring& path) const;

    std::wstring folder_;
    std::vector<QzSkinFinding> findings_;
    std::set<std::wstring> checkedTemplateFiles_;
    // Decoding results by image file, so shared images are read once.
    std::map<std::wstring, bool> decoded_;
};
