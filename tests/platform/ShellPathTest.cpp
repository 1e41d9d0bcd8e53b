#include "platform/ShellPath.h"

#include <gtest/gtest.h>

#include <string>

using namespace qz::platform;

namespace {
constexpr std::size_t npos = std::wstring::npos;
}

TEST(ShellPath, UrlNeedsASchemeOfTwoOrMoreCharacters) {
    for (const wchar_t* url : {L"http://host/a", L"file:///home/u/a.txt", L"mailto:a@b.c", L"svn+ssh://h/x",
                               L"a-b.c:x", L"ab:"}) {
        EXPECT_TRUE(PathIsURL(url)) << url;
    }
    // "C:/x" is a drive.
    for (const wchar_t* path : {L"C:/x", L"C:", L"1ab:x", L"ht tp://x", L"/usr/a:b", L"http", L":x", L""}) {
        EXPECT_FALSE(PathIsURL(path)) << path;
    }
}

TEST(ShellPath, NetworkPathsWithEitherSeparator) {
    for (const std::wstring path : {L"//server/share/dir/f.ini", L"\\\\server\\share\\dir\\f.ini",
                                    L"/\\server\\share/dir\\f.ini"}) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_TRUE(PathIsUNC(path));
        EXPECT_FALSE(PathIsUNCServer(path));
        EXPECT_FALSE(PathIsUNCServerShare(path));
        EXPECT_EQ(PathSkipRoot(path), 15u);  // at "dir"
    }

    EXPECT_TRUE(PathIsUNCServer(L"//server"));
    EXPECT_FALSE(PathIsUNCServer(L"//server/"));
    EXPECT_FALSE(PathIsUNCServerShare(L"//server"));
    EXPECT_TRUE(PathIsUNCServerShare(L"\\\\server\\share"));
    EXPECT_FALSE(PathIsUNCServerShare(L"//server/share/"));
    EXPECT_FALSE(PathIsUNCServerShare(L"//server/"));
    EXPECT_EQ(PathSkipRoot(L"//server/share/"), 15u);
    EXPECT_EQ(PathSkipRoot(L"//server/share"), npos);
    EXPECT_EQ(PathSkipRoot(L"//server"), npos);

    // Not a server: no name, a third separator, device namespaces, a step.
    for (const wchar_t* path : {L"//", L"///x", L"/x", L"x//y", L"//./x", L"//?/C:/x", L"//..", L"//../x", L""}) {
        EXPECT_FALSE(PathIsUNC(path)) << path;
    }
}

TEST(ShellPath, SkipRootOfDrivesAndLinuxRoot) {
    EXPECT_EQ(PathSkipRoot(L"C:/a/b"), 3u);
    EXPECT_EQ(PathSkipRoot(L"C:\\"), 3u);
    EXPECT_EQ(PathSkipRoot(L"/usr/lib"), 1u);
    EXPECT_EQ(PathSkipRoot(L"C:a"), npos);
    EXPECT_EQ(PathSkipRoot(L"C:"), npos);
    EXPECT_EQ(PathSkipRoot(L"a/b"), npos);
    EXPECT_EQ(PathSkipRoot(L""), npos);
}

TEST(ShellPath, CanonicalizeRemovesDotSteps) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"A:\\name_1\\.\\name_2\\..\\name_3", L"A:/name_1/name_3"},
        {L"A:\\name_1\\..\\name_2\\.\\name_3", L"A:/name_2/name_3"},
        {L"A:\\name_1\\name_2\\.\\name_3\\..\\name_4", L"A:/name_1/name_2/name_4"},
        {L"A:\\name_1\\.\\name_2\\.\\name_3\\..\\name_4\\..", L"A:/name_1/name_2"},
        {L"/a/b/../", L"/a/"},
        {L"/a/./", L"/a/"},
        {L"/a/.", L"/a"},
        {L"./a", L"a"},
        {L"a/b/../../c", L"c"},
        // ".." above the root or the start is dropped.
        {L"C:/..", L"C:/"},
        {L"C:/../../x", L"C:/x"},
        {L"/../x", L"/x"},
        {L"../../x", L"x"},
        {L"C:..", L"C:"},
        {L"./C:..", L"C:"},
        // Collapsing to nothing.
        {L"a/..", L""},
        {L".", L""},
        {L"", L""},
        {L"/.", L"/"},
        // Separators are kept, but a relative path stays relative.
        {L"a//b", L"a//b"},
        {L"a/.//b", L"a//b"},
        {L".//a", L"a"},
        {L"x/..//a", L"a"},
        {L"///x/../y", L"///y"},
        // Network paths never lose their server and share.
        {L"\\\\server\\share\\..\\..\\x", L"//server/share/x"},
        {L"//server/share/a/..", L"//server/share/"},
        {L"//server/share", L"//server/share"},
        {L"//server/../x", L"//server/x"},
        // Names that merely contain dots are names.
        {L"a./b", L"a./b"},
        {L"/.../x", L"/.../x"},
        {L"/a/..b/.c", L"/a/..b/.c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathCanonicalize(c.in), c.out) << "input " << c.in;
        EXPECT_EQ(PathCanonicalize(c.out), c.out) << "again " << c.out;
    }
}
