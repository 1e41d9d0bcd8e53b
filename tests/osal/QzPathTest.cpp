#include "osal/QzPath.h"

#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

using QzOSAL::QzPath;

namespace QzOSAL {
// Failures show the text, not the bytes of the object.
void PrintTo(const QzPath& path, std::ostream* out) {
    *out << ::testing::PrintToString(path.GetPath());
}
}  // namespace QzOSAL

namespace {

struct Parts {
    std::wstring drive, directory, fileName, extension;
};

void ExpectParts(const QzPath& path, const Parts& parts) {
    SCOPED_TRACE(std::wstring(L"path ") + path.GetPath());
    EXPECT_EQ(path.GetDrive(), parts.drive);
    EXPECT_EQ(path.GetDirectory(), parts.directory);
    EXPECT_EQ(path.GetFileName(), parts.fileName);
    EXPECT_EQ(path.GetExtension(), parts.extension);
}


std::wstring ExecutableFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().wstring() + L"/";
}

}  // namespace

TEST(QzPath, SplitsLocalPaths) {
    ExpectParts(QzPath(L"D:/a//b\\\\c.txt"), {L"D:", L"/a/b/", L"c", L".txt"});
    ExpectParts(QzPath(L"/usr/lib/libz.so.1"), {L"", L"/usr/lib/", L"libz.so", L".1"});
    ExpectParts(QzPath(L"rel\\dir/name"), {L"", L"rel/dir/", L"name", L""});
    ExpectParts(QzPath(L"C:foo.txt"), {L"C:", L"/", L"foo", L".txt"});
    ExpectParts(QzPath(L"dir.d/.bashrc"), {L"", L"dir.d/", L"", L".bashrc"});
    ExpectParts(QzPath(L""), {L"", L"", L"", L""});

    // A bare drive names its root.
    QzPath drive(L"C:");
    EXPECT_EQ(drive.GetPath(), L"C:/");
    ExpectParts(drive, {L"C:", L"/", L"", L""});
    EXPECT_EQ(QzPath(L"1:").GetPath(), L"1:");
    EXPECT_EQ(QzPath(L"C:x").GetPath(), L"C:x");

    // The text itself is kept as given.
    EXPECT_EQ(QzPath(L"D:/a//b\\c.txt").GetPath(), L"D:/a//b\\c.txt");
    EXPECT_EQ(QzPath(L"D:/a//b\\c.txt").GetFolder(), L"D:/a/b/");
}

TEST(QzPath, SplitsNetworkPathsAndUrls) {
    ExpectParts(QzPath(L"//server/share/dir/f.ini"), {L"//server/share", L"/dir/", L"f", L".ini"});
    ExpectParts(QzPath(L"\\\\server\\share\\dir\\\\f.ini"), {L"//server/share", L"/dir/", L"f", L".ini"});
    ExpectParts(QzPath(L"//server/share/"), {L"//server/share", L"/", L"", L""});
    ExpectParts(QzPath(L"\\\\server"), {L"//server", L"", L"", L""});
    ExpectParts(QzPath(L"//server/share/:x"), {L"//server/share", L"/", L":x", L""});

    ExpectParts(QzPath(L"http://host:8080/a/b/c.html?x=1.2/3#top"),
                {L"http://host:8080", L"/a/b/", L"c", L".html"});
    ExpectParts(QzPath(L"file:///home/u/a.txt"), {L"file://", L"/home/u/", L"a", L".txt"});
    ExpectParts(QzPath(L"https://host"), {L"https://host", L"", L"", L""});
    ExpectParts(QzPath(L"https://host?q=/x.y"), {L"https://host", L"", L"", L""});
    ExpectParts(QzPath(L"mailto:a@b.c"), {L"mailto:", L"", L"a@b", L".c"});
}

TEST(QzPath, ComponentsAndTextFollowEachOther) {
    QzPath path(L"/a/b.txt");
    EXPECT_EQ(path.GetFileName(), L"b");
    QzPath copy(path);
    path.SetPath(L"D:\\a\\b.txt");
    ExpectParts(copy, {L"", L"/a/", L"b", L".txt"});
    path.SetFileName(L"c");
    EXPECT_EQ(path.GetPath(), L"D:/a/c.txt");
    path.SetExtension(L"ini");
    EXPECT_EQ(path.GetPath(), L"D:/a/c.ini");
    path.SetExtension(L"");
    EXPECT_EQ(path.GetPath(), L"D:/a/c");
    path.SetFolder(L"/var/lib");
    EXPECT_EQ(path.GetPath(), L"/var/lib/c");
    EXPECT_EQ(path.GetDirectory(), L"/var/lib/");
    path.SetFolder(L"//server/share/");
    EXPECT_EQ(path.GetPath(), L"//server/share/c");
    EXPECT_EQ(path.GetDrive(), L"//server/share");
    QzPath url(L"http://host/a/b.html?x=1");
    url.SetExtension(L".xml");
    EXPECT_EQ(url.GetPath(), L"http://host/a/b.xml");
}

TEST(QzPath, AppendPathPutsOneSeparatorBetween) {
    const struct {
        const wchar_t* base;
        const wchar_t* sub;
        const wchar_t* result;
    } cases[] = {
        {L"/a", L"b", L"/a/b"}, {L"/a/", L"/b", L"/a/b"}, {L"/a//", L"\\\\b\\c\\", L"/a/b/c/"},
        {L"C:", L"x", L"C:/x"}, {L"", L"Bitmaps\\", L"Bitmaps/"}, {L"/a", L"//", L"/a/"},
    };
    for (const auto& c : cases) {
        QzPath path(c.base);
        path.AppendPath(c.sub);
        EXPECT_EQ(path.GetPath(), c.result) << c.base << L" + " << c.sub;
    }
}

TEST(QzPath, CanonicalFormAndEquality) {
    QzPath windowsStyle(L"C:\\a\\..\\b\\x.ini");
    EXPECT_FALSE(windowsStyle.IsCanonical());
    EXPECT_EQ(windowsStyle, QzPath(L"c:/b/x.ini"));  // drive letters ignore case
    EXPECT_NE(windowsStyle, QzPath(L"C:/B/X.INI"));  // file names do not

    for (const wchar_t* text : {L"/a/./b", L"/a/../b", L"./b", L"../b", L"a/..", L"/a/.", L"C:..",
                                L"a\\.\\b", L"a\\..\\b"}) {
        EXPECT_FALSE(QzPath(text).IsCanonical()) << text;
    }
    for (const wchar_t* text : {L"/a/b", L"a./b", L"/..a/b.", L"/.../x", L"", L"C:/", L"/.x"}) {
        EXPECT_TRUE(QzPath(text).IsCanonical()) << text;
    }

    // Two spellings of one file are equal.
    EXPECT_EQ(QzPath(L"/home/u/./a/../f.ini"), QzPath(L"/home/u/f.ini"));
    EXPECT_EQ(QzPath(L"/home//u\\f.ini"), QzPath(L"/home/u/f.ini"));
    EXPECT_EQ(QzPath(L"\\\\server\\share\\f.ini"), QzPath(L"//server/share/f.ini"));
    EXPECT_NE(QzPath(L"/home/u/"), QzPath(L"/home/u"));
    EXPECT_NE(QzPath(L"/home/u/f.ini"), QzPath(L"home/u/f.ini"));
    EXPECT_NE(QzPath(L"//server/share/f.ini"), QzPath(L"/server/share/f.ini"));

    QzPath path(L"C:\\a\\.\\b\\..\\c\\x.ini");
    path.Canonicalize();
    EXPECT_EQ(path.GetPath(), L"C:/a/c/x.ini");
    EXPECT_TRUE(path.IsCanonical());
    path.SetPath(L"C:/..");
    path.Canonicalize();
    EXPECT_EQ(path.GetPath(), L"C:/");
}

TEST(QzPath, GoToParent) {
    // A start, the text after each step up, and whether a further step fails and changes nothing.
    const struct {
        std::vector<std::wstring> steps;
        bool stops;
    } chains[] = {
        {{L"C:\\a\\b\\", L"C:/a/", L"C:/"}, true},
        {{L"/home/u/f.ini", L"/home/"}, false},  // the parent of the file's folder
        {{L"//server/share/dir/f.ini", L"//server/share/"}, true},
        {{L"http://host/a/b/c.html", L"http://host/a/"}, false},
        {{L"/a/../b/c/", L"/b/"}, false},
        {{L"rel/dir/", L"rel/", L""}, true},  // then the current folder
        {{L"f.ini"}, true}, {{L"/"}, true}, {{L"//server/share"}, true}, {{L"https://host"}, true},
        {{L"C:.."}, true},
    };
    for (const auto& chain : chains) {
        QzPath path(chain.steps[0]);
        for (std::size_t i = 1; i < chain.steps.size(); ++i) {
            ASSERT_TRUE(path.GoToParent()) << chain.steps[0] << " step " << i;
            EXPECT_EQ(path.GetPath(), chain.steps[i]);
        }
        const std::wstring last = path.GetPath();
        if (chain.stops) {
            EXPECT_FALSE(path.GoToParent()) << chain.steps[0];
            EXPECT_EQ(path.GetPath(), last);
        }
    }
}

TEST(QzPath, DrivesAndShellFolders) {
    const std::pair<int, const wchar_t*> drives[] = {
        {0, L"A:/"}, {2, L"C:/"}, {25, L"Z:/"}, {26, L""}, {-1, L""}};
    for (const auto& [number, text] : drives)
        EXPECT_EQ(QzPath(QzPath::DriveNumber{number}).GetPath(), text) << number;

    const qz::test::TempFolder folder("qz-path");
    const std::string home = folder.string();
    const std::wstring wideHome(home.begin(), home.end());
    qz::test::ScopedEnvironment env;
    env.Set("HOME", home);
    env.Set("TMPDIR", home + "/tmp/");
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        env.Unset(name);
    }

    const std::wstring own = wideHome + L"/tmp/QzAutoUpdate-" + std::to_wstring(geteuid()) + L"/";
    EXPECT_EQ(QzPath(QzPath::kTempFolder).GetPath(), own);
    EXPECT_EQ(QzPath(7, L"QzPatch.exe").GetPath(), own + L"QzPatch.exe");
    env.Set("TMPDIR", "");
    EXPECT_EQ(QzPath(QzPath::kTempFolder).GetPath(), L"/tmp/QzAutoUpdate-" + std::to_wstring(geteuid()) + L"/");
    env.Set("TMPDIR", home + "/tmp/");
    EXPECT_EQ(QzPath(42, L"Bitmaps/").GetPath(), ExecutableFolder() + L"Bitmaps/");
    EXPECT_EQ(QzPath(43).GetFolder(), ExecutableFolder());
    EXPECT_EQ(QzPath(36, L"x.so").GetPath(), L"/opt/VSTPlugins/x.so");
    EXPECT_EQ(QzPath(15).GetPath(), wideHome + L"/.config/");  // local application data
    // Numbers past the table name the desktop; unresolvable folders stay empty.
    EXPECT_EQ(QzPath(1000).GetPath(), wideHome + L"/Desktop/");
    EXPECT_EQ(QzPath(24, L"sub").GetPath(), L"");

    EXPECT_TRUE(QzPath(own).IsSpecialFolder());
    EXPECT_TRUE(QzPath(wideHome + L"\\.config\\").IsSpecialFolder());
    EXPECT_FALSE(QzPath(wideHome + L"/tmp").IsSpecialFolder());
    EXPECT_FALSE(QzPath(L"").IsSpecialFolder());
}

TEST(QzPath, HostileInputs) {
    std::wstring long10k;
    while (long10k.size() < 10000) {
        long10k += L"dir.x\\";
    }
    long10k += L"name.ext";
    std::wstring climbing;
    for (int i = 0; i < 2000; ++i) {
        climbing += L"ab/../..\\";
    }
    const std::wstring inputs[] = {
        L"", L"////", std::wstring(10000, L'\\'), std::wstring(10000, L'.'), long10k,
        std::wstring(L"\0", 1), L"C:..", L"::::", L"//./..", L"http:", L"\\\\server\\..\\..", L"./C:/..",
        climbing, L"/" + climbing,
    };
    for (const std::wstring& text : inputs) {
        QzPath path(text);
        QzPath canonical(path);
        canonical.Canonicalize();
        EXPECT_TRUE(canonical.IsCanonical());
        QzPath again(canonical);
        again.Canonicalize();
        EXPECT_EQ(again.GetPath(), canonical.GetPath());
        EXPECT_EQ(canonical, path);
        QzPath parent(path);
        if (!parent.GoToParent()) {
            EXPECT_EQ(parent.GetPath(), path.GetPath());
        }
        path.AppendPath(text);
    }

    ExpectParts(QzPath(L"C:.."), {L"C:", L"/", L".", L"."});

    const QzPath nul(std::wstring(L"/a\0b/../c\0d.e\0f", 15));
    ExpectParts(nul, {L"", std::wstring(L"/a\0b/../", 8), std::wstring(L"c\0d", 3),
                      std::wstring(L".e\0f", 4)});
    EXPECT_EQ(nul, QzPath(std::wstring(L"/c\0d.e\0f", 8)));
}
