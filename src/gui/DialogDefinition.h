// The file side of a skinned dialog: where its definition file lies, what its
// [dialog] section and control sections say, the raw alignment lines, the two
// control-template files it names, and writing it back in the canonical
// layout. Windows, controls and the layout are built from this by the dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/ControlTemplateFile.h"

class CQZIniFileReader;
namespace qz::platform {
class CWnd;
}

/// A rectangle as the file writes it: left, top, right, bottom.
struct QzDialogRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const QzDialogRect&) const = default;
};

/// One control section of a definition file.
struct QzDialogControlRecord {
    /// The section name; also the control's ID name.
    std::wstring name;
    /// Control class name from "type".
    std::wstring type;
    /// Section name in a control-template file.
    std::wstring templateName;
    std::wstring text;
    /// Flag texts as the file gave them; kept so that writing back uses
    /// the author's names while they still describe the words.
    std::wstring styleText;
    std::wstring styleExText;
    std::uint32_t style = 0;
    std::uint32_t styleEx = 0;
    QzDialogRect position;
    /// True: the control is created; false: an item of the resource is
    /// subclassed.
    bool create = false;
    /// False when a key needed to build the control was missing or bad.
    bool complete = true;
    /// Read from the general controls file, so never written back.
    bool fromGeneralControls = false;
    /// Set by whoever builds the control; only built controls are written.
    bool created = false;
    /// Numeric ID, resolved when the control is built.
    std::uint32_t controlId = 0xFFFFFFFFU;
    /// The window object once the control is built (not owned).
    qz::platform::CWnd* window = nullptr;
};

class CQZDialogDefinition {
  public:
    /// Values of the "dialogIniFlags" key.
    static constexpr std::uint32_t QZBDD_FLAG_NONE = 0;
    static constexpr std::uint32_t QZBDD_FLAG_USE_INI_Z_ORDER = 1;
    static constexpr std::uint32_t QZBDD_FLAG_USE_DIALOG_CLIENT_POSITION = 2;
    static constexpr std::uint32_t QZBDD_FLAG_IGNORE_VISTA_GLASS_FRAME = 4;
    static constexpr std::uint32_t QZBDD_FLAG_HIDE_NOT_LISTED_CONTROLS = 8;
    static constexpr std::uint32_t QZBDD_FLAG_NO_LAYOUT = 16;

    /// Read buffers (terminator included), so longer values are cut.
    static constexpr std::uint32_t kDialogValueBufferSize = 260;
    static constexpr std::uint32_t kControlValueBufferSize = 2048;
    static constexpr std::uint32_t kSectionNamesBufferSize = 5120;
    /// Alignment sections whose lines are kept for writing back.
    static constexpr int kMaxKeptAlignmentSection = 9;

    CQZDialogDefinition() = default;
    virtual ~CQZDialogDefinition() = default;
    CQZDialogDefinition(const CQZDialogDefinition&) = delete;
    CQZDialogDefinition& operator=(const CQZDialogDefinition&) = delete;

    /// `folder` + `fileName` when that file exists, else the first skin
    /// search folder holding `fileName`, else the joined path (which then
    /// fails to open).
    static std::wstring FindFile(const std::wstring& folder, const std::wstring& fileName,
                                 const std::vector<std::wstring>& searchFolders);

    /// Folders tried after the definition file's own folder.
    void SetSearchFolders(std::vector<std::wstring> folders) { searchFolders_ = std::move(folders); }
    const std::vector<std::wstring>& GetSearchFolders() const { return searchFolders_; }

    /// Whether the dialog shows the system glass frame (glass available and
    /// the window not a child); it then reads the glass variant of the
    /// general controls file unless the file's flags forbid it.
    void SetGlassFrame(bool shown) { glassFrame_ = shown; }
    /// The general controls file used with the glass frame.
    static constexpr const wchar_t* kGlassGeneralControlsFile = L"generalControls_vistaDialog.ini";

    /// Finds and reads the definition file through the definition-file
    /// pool. False for an empty name, a file that does not exist or cannot
    /// be read, or a failing LoadFromIni.
    bool Load(const std::wstring& folder, const std::wstring& fileName);
    /// Reads the [dialog] section, the template files it names, the control
    /// sections (of the general controls file first) and the alignment
    /// lines. False when a named template file cannot be loaded.
    virtual bool LoadFromIni(CQZIniFileReader& reader);
    /// Writes the canonical layout to the loaded file after moving the old
    /// one to `backupPath` (set here). False when nothing was loaded or the
    /// file cannot be written.
    virtual bool Save(std::wstring& path, std::wstring& backupPath);

    /// Whether a record of `sectionName` and `type` is kept; all are here.
    virtual bool AcceptRecord(const std::wstring& sectionName, const std::wstring& type);
    /// Lets a dialog read data of its own for a new record from the file.
    virtual void ReadRecord(QzDialogControlRecord& record, CQZIniFileReader& reader);

    const std::wstring& GetPath() const { return path_; }
    const std::wstring& GetName() const { return name_; }
    const std::wstring& GetText() const { return text_; }
    const std::wstring& GetTemplate() const { return template_; }
    const QzDialogRect& GetPosition() const { return position_; }
    const std::wstring& GetControlTemplateFileName() const { return controlTemplateFile_; }
    const std::wstring& GetDialogControlTemplateFileName() const { return dialogControlTemplateFile_; }
    const std::wstring& GetGeneralControlsFileName() const { return generalControlsFile_; }
    const std::wstring& GetDialogIniFlagsText() const { return dialogIniFlagsText_; }
    std::uint32_t GetDialogIniFlags() const { return dialogIniFlags_; }

    /// The template files named by controlTemplateFile and
    /// dialogControlTemplateFile (null when not named).
    const std::shared_ptr<CQZControlTemplateFile>& GetControlTemplateFile() const { return controlTemplates_; }
    const std::shared_ptr<CQZControlTemplateFile>& GetDialogControlTemplateFile() const
    {
        return dialogControlTemplates_;
    }
    /// A control template by name: the controls' file first, then the
    /// dialog's; null when neither holds it.
    const CQZControlTemplate* FindControlTemplate(const std::wstring& name) const;

    /// Control records in file order.
    const std::vector<QzDialogControlRecord>& GetRecords() const { return records_; }
    std::vector<QzDialogControlRecord>& GetRecords() { return records_; }
    /// Lines of ALIGNMENT1 to ALIGNMENT9: the header, then "key=value".
    const std::vector<std::wstring>& GetAlignmentLines() const { return alignmentLines_; }

    /// The general controls file whose sections were read; empty when none.
    const std::wstring& GetGeneralControlsPath() const { return generalControlsPath_; }

    /// Four integers as the file writes positions (commas as blanks);
    /// missing numbers are 0, values beyond int are clamped.
    static QzDialogRect ParsePosition(const std::wstring& text);

  protected:
    /// Called by LoadFromIni once the [dialog] section is read.
    virtual void OnDialogSectionRead() {}
    /// Called by LoadFromIni once the template files it names are loaded,
    /// before the control sections are read.
    virtual void OnTemplateFilesLoaded() {}
    /// What Save writes as the dialog's position; the stored one here.
    virtual QzDialogRect GetSavedDialogPosition() const { return position_; }
    /// What Save writes as a control's position; the stored one here.
    virtual QzDialogRect GetSavedControlPosition(const QzDialogControlRecord& record) const
    {
        return record.position;
    }
    /// What Save writes as a control's type; a dialog names the type of
    /// its "unknown" records.
    virtual std::wstring GetSavedControlType(const QzDialogControlRecord& record) const { return record.type; }
    /// Opens a file of the definition through the definition-file pool.
    static std::shared_ptr<CQZIniFileReader> OpenPooled(const std::wstring& path);

  private:
    void Reset();
    bool LoadTemplates(const std::wstring& folder);
    void ReadControlSections(CQZIniFileReader& reader, bool fromGeneralControls);
    void ReadAlignmentLines(CQZIniFileReader& reader);
    std::wstring FormatText() const;

    std::wstring path_;
    std::vector<std::wstring> searchFolders_;
    bool glassFrame_ = false;
    std::wstring name_;
    std::wstring text_;
    std::wstring template_;
    QzDialogRect position_;
    std::wstring controlTemplateFile_;
    std::wstring dialogControlTemplateFile_;
    std::wstring generalControlsFile_;
    std::wstring generalControlsPath_;
    std::wstring dialogIniFlagsText_;
    std::uint32_t dialogIniFlags_ = 0;
    std::shared_ptr<CQZControlTemplateFile> controlTemplates_;
    std::shared_ptr<CQZControlTemplateFile> dialogControlTemplates_;
    std::vector<QzDialogControlRecord> records_;
    std::vector<std::wstring> alignmentLines_;
};
