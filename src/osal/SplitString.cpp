#include "osal/SplitString.h"

namespace QzOSAL {

bool SplitString(const std::wstring& text, const std::wstring& separator,
                 std::vector<std::wstring>& list)
{
    list.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t found = separator.empty() ? std::wstring::npos : text.find(separator, pos);
        if (found == std::wstring::npos)
            break;
        if (!(found == pos && found == 0))
            list.push_back(text.substr(pos, found - pos));
        pos = found + 1;
    }
    if (pos < text.size())
        list.push_back(text.substr(pos));
    return true;
}

}  // namespace QzOSAL
