// The document the patch service answers a query with, when it offers a patch.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qz::test {

struct ResultDocument {
    ResultDocument(std::string patchUrl, std::uint64_t patchSize, std::string patchVersion = "9.1",
                   std::string patchNotes = "Notes", int installerKind = 0, std::string more = "")
        : url(std::move(patchUrl)), size(patchSize), version(std::move(patchVersion)), notes(std::move(patchNotes)),
          installer(installerKind), attributes(std::move(more))
    {
    }

    std::string Xml() const
    {
        std::string xml = "<?xml version=\"1.0\"?><result ";
        if (!attributes.empty())
            xml += attributes + " ";
        xml += "filesize=\"" + std::to_string(size) + "\" version=\"" + version + "\"";
        if (installer != 0)
            xml += " pug_installer=\"" + std::to_string(installer) + "\"";
        return xml + " url=\"" + url + "\"><patch>" + notes + "</patch></result>";
    }

    std::string url;
    std::uint64_t size;
    std::string version;
    std::string notes;       ///< the patch element's content, as written
    int installer;           ///< pug_installer; 0 leaves it out
    std::string attributes;  ///< further attributes of the result element
};

}  // namespace qz::test
