// The library's URL value: a text kept split into its parts, with the query
// held as a key-ordered map of parameters.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace QzOSAL {

class QzPath;

/// A URL as text and as parts. Setting the text parses it; changing a part or
/// adding a parameter writes the text anew from the parts. Parsing empties
/// only the parameter map: a part that the new text does not mention keeps
/// the value it had. Nothing is escaped or unescaped on the way.
class QzURL {
public:
    /// Scheme numbers, as GetScheme and SchemeFromName give them.
    enum Scheme : std::int32_t {
        SchemeNone = 0,
        SchemeAbout = 1,
        SchemeFile = 2,
        SchemeHttps = 3,
        SchemeHttp = 4,
        SchemeJavaScript = 5,
    };

    /// Orders parameter names by their UTF-16 code units, so that names
    /// outside the BMP sort as they do in UTF-16 text whatever the width of
    /// wchar_t.
    struct Utf16Less {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    /// Parameter name to value; the first insertion of a name wins.
    using ParamMap = std::map<std::wstring, std::wstring, Utf16Less>;

    /// An empty URL.
    QzURL();
    /// Takes `text` and parses it.
    explicit QzURL(const std::wstring& text);
    /// Takes `text` (null for empty) and parses it.
    explicit QzURL(const wchar_t* text);
    /// The file URL of a local path, UNC path or URL-like path.
    explicit QzURL(const QzPath& path);
    QzURL(const QzURL&);
    QzURL(QzURL&&) noexcept;
    QzURL& operator=(const QzURL&);
    QzURL& operator=(QzURL&&) noexcept;
    virtual ~QzURL();

    /// Replaces the text and parses it.
    void SetText(const std::wstring& text);
    /// The whole URL.
    const std::wstring& GetText() const { return text_; }
    /// Whether the text is empty.
    bool IsEmpty() const { return text_.empty(); }
    /// Ordinal comparison of the texts.
    bool operator==(const QzURL& other) const { return text_ == other.text_; }
    /// Ordinal comparison with a zero-terminated text (null counts as empty).
    bool operator==(const wchar_t* text) const;

    /// The scheme the text begins with (case-sensitive), SchemeNone for none.
    std::int32_t GetScheme() const;

    /// User information and host parts; each setter rewrites the text.
    const std::wstring& GetUser() const { return user_; }
    void SetUser(const std::wstring& user);
    const std::wstring& GetPassword() const { return password_; }
    void SetPassword(const std::wstring& password);
    /// The host without the labels held in domain and top-level domain.
    const std::wstring& GetSubDomain() const { return hostPrefix_; }
    void SetSubDomain(const std::wstring& subDomain);
    /// The second-last label of a host with at least two dots.
    const std::wstring& GetDomain() const { return domain_; }
    void SetDomain(const std::wstring& domain);
    /// The last label of a host with a dot.
    const std::wstring& GetTopLevelDomain() const { return topLevelDomain_; }
    void SetTopLevelDomain(const std::wstring& topLevelDomain);
    /// Sub-domain, domain and top-level domain joined with "."; an empty
    /// domain or top-level domain is left out with its dot.
    std::wstring GetHost() const;
    /// The path without its leading "/"; the setter rewrites the text.
    const std::wstring& GetPath() const { return path_; }
    void SetPath(const std::wstring& path);
    /// The text after "#"; the setter rewrites the text.
    const std::wstring& GetFragment() const { return fragment_; }
    void SetFragment(const std::wstring& fragment);
    /// The port, 0 for none.
    std::uint16_t GetPort() const { return port_; }

    /// Adds a parameter and rewrites the text; a name already present keeps
    /// its value and the map stays as it is.
    void AddParam(const std::wstring& name, const std::wstring& value);
    /// The number of parameters.
    int GetParamCount() const { return static_cast<int>(params_.size()); }
    /// The pair at `index` in name order; false (outputs untouched) when the
    /// index is out of range. The text is not rewritten.
    bool GetParam(int index, std::wstring& name, std::wstring& value) const;
    /// Removes the pair at `index` in name order; nothing when out of range.
    /// The text is not rewritten.
    void RemoveParam(int index);

    /// Sets the empty text and parses it.
    void Clear();

    /// Percent-escapes `text` as one URL segment; empty on failure.
    static std::wstring Escape(const std::wstring& text);
    /// Decodes the escapes of `text` before its query and fragment; empty on
    /// failure.
    static std::wstring Unescape(const std::wstring& text);
    /// The scheme number of a name such as "HTTPS://" (case-insensitive,
    /// trailing ":" and "/" ignored); SchemeNone when unknown.
    static std::int32_t SchemeFromName(const std::wstring& name);
    /// The name of a scheme number; empty for SchemeNone and unknown numbers.
    static std::wstring SchemeName(std::int32_t scheme);

private:
    void Parse();
    void Rebuild();

    ParamMap params_;
    std::int32_t scheme_ = SchemeNone;
    std::wstring hostPrefix_;
    std::wstring domain_;
    std::wstring fragment_;
    std::wstring password_;
    std::wstring path_;
    std::wstring topLevelDomain_;
    std::wstring user_;
    std::wstring text_;
    std::uint16_t port_ = 0;
};

}  // namespace QzOSAL
