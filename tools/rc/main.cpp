// qz_rc: compiles resource scripts into a C++ source that adds the
// resources to the program's resource table during static initialisation.
//
//   qz_rc -o OUT.cpp --symbol NAME [--depfile OUT.d] [-I DIR]... FILE.rc...
//
// Errors are printed as "file:line: error: reason" and the exit status is 1.
#include "platform/FileNames.h"
#include "rc/RcParser.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qz::platform;

namespace {

std::string WideLiteral(const std::wstring& s)
{
    std::string out = "L\"";
    for (wchar_t c : s) {
        if (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\' && c != L'?') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\U%08X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + "\"";
}

std::string NameExpr(const ResName& n)
{
    if (n.IsOrdinal()) {
        return "ResName::Ordinal(" + std::to_string(n.ordinal) + ")";
    }
    return "ResName::Named(" + WideLiteral(n.name) + ")";
}

std::string Describe(const ResName& n)
{
    if (n.IsOrdinal()) {
        return std::to_string(n.ordinal);
    }
    return std::string(n.name.begin(), n.name.end());
}

// Reads a script: a regular file, and at most one byte more than the parser
// takes, so that a device or a huge file is not read to its end.
std::optional<std::string> ReadScript(const fs::path& path, std::string& why)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        why = fs::exists(path, error) ? "not a regular file" : "cannot read file";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char chunk[65536];
    while (in && text.size() <= kMaxRcScriptBytes) {
        in.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad() || (!in && !in.eof())) {
        why = "cannot read file";
        return std::nullopt;
    }
    return text;
}

int Usage()
{
    std::cerr << "usage: qz_rc -o OUT.cpp --symbol NAME [--depfile OUT.d] [-I DIR]... FILE.rc...\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    std::string symbol;
    std::string depfile;
    std::vector<fs::path> includeDirs;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::exit(Usage());
            }
            return argv[++i];
        };
        if (a == "-o") {
            output = value();
        } else if (a == "--symbol") {
            symbol = value();
        } else if (a == "--depfile") {
            depfile = value();
        } else if (a == "-I") {
            includeDirs.emplace_back(value());
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else {
            inputs.emplace_back(a);
        }
    }
    if (output.empty() || symbol.empty() || inputs.empty()) {
        return Usage();
    }
    for (const std::string& path : {output, depfile}) {
        std::error_code error;
        if (!path.empty() && fs::is_directory(path, error)) {
            std::cerr << path << ": error: is a directory\n";
            return 1;
        }
    }

    std::vector<RcResource> all;
    std::set<std::string> deps;
    for (const fs::path& input : inputs) {
        std::string why;
        std::optional<std::string> text = ReadScript(input, why);
        if (!text) {
            std::cerr << input.string() << ": error: " << why << "\n";
            return 1;
        }
        deps.insert(fs::absolute(input).lexically_normal().string());
        RcIncludeResolver resolver = [&](const std::string& name, bool angled, const std::string& from,
                                         std::string& resolved) -> std::optional<std::string> {
            std::vector<fs::path> dirs;
            if (!angled) {
                dirs.push_back(fs::path(from).parent_path());
            }
            dirs.insert(dirs.end(), includeDirs.begin(), includeDirs.end());
            for (const fs::path& dir : dirs) {
                fs::path candidate = dir / name;
                std::string ignored;
                if (auto content = ReadScript(candidate, ignored)) {
                    resolved = candidate.lexically_normal().string();
                    return content;
                }
            }
            return std::nullopt;
        };
        RcParseResult result = ParseRc(*text, input.string(), resolver);
        for (const std::string& inc : result.includedFiles) {
            deps.insert(fs::absolute(inc).lexically_normal().string());
        }
        if (result.error) {
            std::cerr << result.error->ToString() << "\n";
            return 1;
        }
        for (RcResource& r : result.resources) {
            for (const RcResource& e : all) {
                if (e.type == r.type && e.id == r.id && e.language == r.language) {
                    std::cerr << input.string() << ": error: duplicate resource (type " << Describe(r.type)
                              << ", ID " << Describe(r.id) << ", language " << r.language << ")\n";
                    return 1;
                }
            }
            all.push_back(std::move(r));
        }
    }

    std::ostringstream out;
    out << "// Generated by qz_rc; do not edit.\n"
        << "#include \"platform/RcResourceTable.h\"\n\n"
        << "namespace {\n\n";
    for (std::size_t i = 0; i < all.size(); ++i) {
        out << "const unsigned char kData" << i << "[] = {";
        const auto& d = all[i].data;
        for (std::size_t j = 0; j < d.size(); ++j) {
            if (j % 16 == 0) {
                out << "\n   ";
            }
            out << " " << static_cast<unsigned>(d[j]) << ",";
        }
        if (d.empty()) {
            out << "0";
        }
        out << "\n};\n";
    }
    out << "\nstruct Registrar {\n    Registrar() {\n"
        << "        using qz::platform::ResName;\n"
        << "        qz::platform::ResourceTable& table = qz::platform::ModuleResources();\n";
    for (std::size_t i = 0; i < all.size(); ++i) {
        out << "        table.Add({" << NameExpr(all[i].type) << ", " << NameExpr(all[i].id) << ", "
            << all[i].language << ", {kData" << i << ", " << all[i].data.size() << "}});\n";
    }
    out << "    }\n};\n\nconst Registrar registrar;\n\n}  // namespace\n\n"
        << "// Referenced by the link so that an archive keeps this object.\n"
        << "extern \"C\" {\nint " << symbol << " = " << all.size() << ";\n}\n";

    // Write only on change, so dependants do not rebuild needlessly.
    std::string generated = out.str();
    if (ReadWholeFile(output) != generated) {
        std::ofstream f(output, std::ios::binary | std::ios::trunc);
        f << generated;
        if (!f) {
            std::cerr << output << ": error: cannot write file\n";
            return 1;
        }
    }
    if (!depfile.empty()) {
        std::ofstream d(depfile, std::ios::trunc);
        auto escape = [](const std::string& s) {
            std::string e;
            for (char c : s) {
                if (c == ' ') {
                    e += '\\';
                }
                e += c;
            }
            return e;
        };
        d << escape(output) << ":";
        for (const std::string& dep : deps) {
            d << " \\\n  " << escape(dep);
        }
        d << "\n";
        if (!d) {
            std::cerr << depfile << ": error: cannot write file\n";
            return 1;
        }
    }
    return 0;
}
