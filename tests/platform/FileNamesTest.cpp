#include "platform/FileNames.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using qz::platform::NativeFileName;
using qz::platform::ReadWholeFile;
using qz::platform::WideFileName;

TEST(FileNames, AnyByteNameSurvivesTheRoundTrip)
{
    EXPECT_EQ(NativeFileName(L"/tmp/Gr\u00fc\u00dfe/\u20ac\U0001F600.txt"),
              "/tmp/Gr\xc3\xbc\xc3\x9f" "e/\xe2\x82\xac\xf0\x9f\x98\x80.txt");
    // Bytes that are no UTF-8 (a Latin-1 name, a lone continuation byte, an
    // overlong slash) come back as the same bytes.
    for (const std::string& bytes : {std::string("caf\xe9.ini"), std::string("\x80\xff"), std::string("\xc0\xaf"),
                                    std::string("ok\xed\xa0\x80")}) {
        const std::wstring wide = WideFileName(bytes);
        EXPECT_EQ(NativeFileName(wide), bytes);
    }
    EXPECT_EQ(WideFileName("caf\xe9"), std::wstring(L"caf") + wchar_t(0xDCE9));
    // Wide values that are no characters cannot reach the file system as such.
    EXPECT_EQ(NativeFileName(std::wstring(1, wchar_t(0xD800))), "\xef\xbf\xbd");
    EXPECT_EQ(NativeFileName(L""), "");
}

// A folder, a missing file or a pipe's end are answers, not exceptions: the
// tools read names users type.
TEST(FileNames, ReadWholeFileAnswersWithoutThrowing)
{
    qz::test::TempFolder folder("read_whole_file");
    const std::string file = (folder / "bytes.bin").string();
    const std::string bytes("a\0b\r\n\xff", 6);
    std::ofstream(file, std::ios::binary) << bytes;
    EXPECT_EQ(ReadWholeFile(file), bytes);
    EXPECT_EQ(ReadWholeFile(folder.string()), std::nullopt);
    EXPECT_EQ(ReadWholeFile((folder / "missing").string()), std::nullopt);
    EXPECT_EQ(ReadWholeFile("/dev/null"), std::string());
}

}  // namespace
