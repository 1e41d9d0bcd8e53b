// A file-system path value: the text as given, split on demand into drive
// (or network root, or URL scheme and host), directory, file name and
// extension, with the joining, dot-step and parent rules the library relies
// on, and the library's numbering of special folders.
#pragma once

#include <cstdint>
#include <string>

namespace QzOSAL {

class QzPath {
public:
    /// Numbers of special folders with a meaning of their own (the others
    /// name shell folders; see QzPath.cpp).
    static constexpr int kTempFolder = 7;
    static constexpr int kProgramFilesFolder = 21;
    static constexpr int kVstPluginsFolder = 36;
    static constexpr int kExecutableFolder = 42;
    static constexpr int kExecutableFile = 43;
    /// The highest special-folder number IsSpecialFolder compares with.
    static constexpr int kLastSpecialFolder = 46;

    /// A drive 0 to 25 ("A:" to "Z:") for the drive-number constructor.
    enum class DriveNumber : int {};

    /// An empty path.
    QzPath();
    /// The path `text`, stored as given (see SetPath).
    QzPath(const std::wstring& text);
    /// The path `text`; null gives an empty path.
    QzPath(const wchar_t* text);
    QzPath(const QzPath& other);
    /// The root of a drive, "C:/" for 2; an empty path outside 0 to 25.
    explicit QzPath(DriveNumber drive);
    /// Special folder `folder` (folders end with a separator), with `subPath`
    /// appended when the folder was found; empty when it cannot be resolved.
    explicit QzPath(int folder, const std::wstring& subPath = std::wstring());
    virtual ~QzPath();

    QzPath& operator=(const QzPath& other);
    QzPath& operator=(const std::wstring& text);
    QzPath& operator=(const wchar_t* text);

    /// Copies text, components and the record of what was split.
    virtual void Assign(const QzPath& other);
    /// Replaces the text and forgets the components. The text is kept as
    /// given, except that a bare drive such as "C:" becomes its root "C:/".
    virtual void SetPath(const std::wstring& text);
    /// As above; null clears the path.
    virtual void SetPath(const wchar_t* text);

    /// The full text.
    const std::wstring& GetPath() const { return text_; }
    /// "X:", the network root "//server/share", or a URL's scheme and host.
    const std::wstring& GetDrive() const;
    /// The directory with "/" separators, ending with a separator when not
    /// empty; "/" when there is a drive but no directory.
    const std::wstring& GetDirectory() const;
    /// The last step without its extension.
    const std::wstring& GetFileName() const;
    /// The extension of the last step with its ".", or empty.
    const std::wstring& GetExtension() const;
    /// Drive and directory joined: the folder the path lies in.
    std::wstring GetFolder() const;

    /// Replace one component and rebuild the text from drive, directory,
    /// name and extension. An extension without "." gets one.
    void SetFileName(const std::wstring& fileName);
    void SetExtension(const std::wstring& extension);
    /// Replaces drive and directory with `folder`, which gets a trailing
    /// separator when it has none.
    void SetFolder(const std::wstring& folder);

    /// Appends `subPath` with exactly one separator between; the appended
    /// part is written with "/". An empty sub-path changes nothing; on an
    /// empty path the sub-path becomes the path.
    void AppendPath(const std::wstring& subPath);

    /// Whether the text is free of "." and ".." steps.
    bool IsCanonical() const;
    /// Removes "." and ".." steps; separators become "/".
    void Canonicalize();
    /// Moves to the folder above the directory, dropping name and extension.
    /// Fails, changing nothing, when the directory is empty or the root.
    bool GoToParent();
    /// Whether the path equals one of the special folders 0 to 46.
    bool IsSpecialFolder() const;

    /// Whether both name the same file after removing dot steps, with either
    /// separator and repeated separators alike. File names compare with
    /// their case (Linux file names are case-sensitive), drive letters
    /// without.
    bool operator==(const QzPath& other) const;
    bool operator!=(const QzPath& other) const { return !(*this == other); }

private:
    // Which components have been split off the text. Splitting takes all at
    // once, so kAll is set together with the others.
    enum SplitFlag : std::uint8_t {
        kDrive = 1,
        kDirectory = 2,
        kFileName = 4,
        kExtension = 8,
        kAll = 16,
    };

    void Split() const;
    void Rebuild(const std::wstring& drive, const std::wstring& directory,
                 const std::wstring& fileName, const std::wstring& extension);

    // Components are filled on first use; a path shared between threads
    // must have been split (any getter called) before it is shared.
    mutable std::uint8_t split_ = 0;
    mutable std::wstring drive_;
    mutable std::wstring directory_;
    mutable std::wstring fileName_;
    mutable std::wstring extension_;
    std::wstring text_;
};

}  // namespace QzOSAL
