#include "patchservice/IniFormatParser.h"

#include "support/FileText.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(IniFormatParser, LinesSectionsAndKeysByTheAnswerRules)
{
    CIniFormatParser parser;
    parser.Parse(L"orphan=ignored\n"
                 L"[main]  \r\n"
                 L"version=5.4\r\n"
                 L"no equals sign\n"
                 L"a=b=c\n"
                 L" spaced = value \n"
                 L"[empty]\n"
                 L"[main]\n"
                 L"[other]\n"
                 L"x=1\n"
                 L"last=unterminated");
    std::wstring value;
    EXPECT_FALSE(parser.Lookup(L"", L"orphan", value));
    ASSERT_TRUE(parser.Lookup(L"main", L"version", value));
    EXPECT_EQ(value, L"5.4");  // the carriage return is trimmed
    ASSERT_TRUE(parser.Lookup(L"main", L"b", value));
    EXPECT_EQ(value, L"c");    // the key is the text between the two signs
    ASSERT_TRUE(parser.Lookup(L"main", L" spaced ", value));
    EXPECT_EQ(value, L" value");
    // A header without keys neither creates nor replaces a section.
    EXPECT_EQ(parser.GetSection(L"empty"), nullptr);
    EXPECT_EQ(parser.GetSection(L"main")->size(), 3u);
    EXPECT_FALSE(parser.Lookup(L"other", L"last", value));
    EXPECT_FALSE(parser.Lookup(L"MAIN", L"version", value));

    // A repeated header with keys replaces the earlier map.
    CIniFormatParser replaced;
    replaced.Parse(L"[s]\na=1\nb=2\n[s]\nc=3\n");
    EXPECT_EQ(replaced.GetSection(L"s")->size(), 1u);
    EXPECT_FALSE(replaced.Lookup(L"s", L"a", value));
}

TEST(IniFormatParser, WritesEveryPairThroughTheProfileFunctions)
{
    const auto path = std::filesystem::temp_directory_path() / "qz-iniformat-test.ini";
    std::filesystem::remove(path);
    CIniFormatParser parser;
    parser.Parse(L"[server]\nhost=127.0.0.1\npath=/upload\n[b]\nk=v\n");
    ASSERT_TRUE(parser.WriteToFile(path.wstring()));
    const std::string text = qz::test::ReadText(path);
    EXPECT_NE(text.find("[server]"), std::string::npos);
    EXPECT_NE(text.find("host=127.0.0.1"), std::string::npos);
    EXPECT_NE(text.find("path=/upload"), std::string::npos);
    EXPECT_NE(text.find("k=v"), std::string::npos);
    std::filesystem::remove(path);
    EXPECT_FALSE(parser.WriteToFile(L"/nonexistent-dir/x.ini"));
}

}  // namespace
