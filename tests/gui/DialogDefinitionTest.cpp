#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "ControlTemplateTestSupport.h"
#include "config/QZIniFileReader.h"
#include "gui/DialogDefinition.h"
#include "gui/SymbolicConstants.h"

namespace {

class DialogDefinitionTest : public ControlTemplateTest {
  protected:
    void MakeFolder(const std::string& name) const { std::filesystem::create_directories(folder_ + "/" + name); }
    void WriteTemplates() const
    {
        Write("Controls.ini", "[Button]\ncontrolClass = CQZ_UniButton\n[Label]\ncontrolClass = CQZ_Static\n");
        Write("DialogTemplates.ini",
              "[Button]\ncontrolClass = CQZ_Static\n[Frame]\ncontrolClass = CQZ_ColorFrame\n");
    }
};

std::vector<std::wstring> Names(const CQZDialogDefinition& definition)
{
    std::vector<std::wstring> names;
    for (const QzDialogControlRecord& record : definition.GetRecords())
        names.push_back(record.name);
    return names;
}

const char* const kDefinition =
    "[dialog]\nname = UpdateDialog\ntext = Updates ready\ntemplate = Frame\nposition = 10, 20, 410,320\n"
    "controlTemplateFile = Controls.ini\ndialogControlTemplateFile = DialogTemplates.ini\n"
    "dialogIniFlags = QZBDD_FLAG_USE_INI_Z_ORDER | QZBDD_FLAG_NO_LAYOUT|NOT_A_FLAG\n"
    "[IDC_ZETA]\ntype = CQZ_UniButton\ntemplate = Button\ntext = Install\n"
    "style = WS_CHILD | WS_VISIBLE | WS_TABSTOP\nstyleEx = WS_EX_TRANSPARENT\nposition = 1,2,3,4\n"
    "create = create\n"
    "[ALIGNMENT1]\na = IDC_ZETA, IDC_ALPHA, QZGUI_LEFT, QZGUI_TOP, 0, 0, 0, 1, 2, 3, 4\n"
    "[IDC_ALPHA]\ntype = CQZ_Static\ntemplate = Label\ntext = Hello\ncreate = subclass\n"
    "[ALIGNMENT0]\ntype = CQZ_Static\ntemplate = Label\ncreate = subclass\n"
    "[IDC_NOPOS]\ntype = CQZ_Static\ntemplate = Label\nstyle = WS_CHILD|WS_VISIBLE\ncreate = create\n"
    "[IDC_BADSTYLE]\ntype = CQZ_Static\ntemplate = Label\nstyle = NOT_A_STYLE\nposition = 0,0,5,5\n"
    "create = create\n"
    "[IDC_NOTYPE]\ntemplate = Label\ncreate = subclass\n"
    "[IDC_ODDCREATE]\ntype = CQZ_Static\ntemplate = Label\ncreate = maybe\n"
    "[ALIGNMENT2]\nb = IDC_ALPHA, , QZGUI_RIGHT, 0, 0, 0, 0, 0, 0, 0, 0\n"
    "[ALIGNMENT4]\nc = IDC_ZETA, IDC_ALPHA, 0, 0, 0, 0, 0, 0, 0, 0, 0\n";

TEST_F(DialogDefinitionTest, FindsFilesInOwnFolderThenSearchFoldersAndFailsWithoutOne)
{
    for (const char* name : {"own", "skinA", "skinB"})
        MakeFolder(name);
    Write("skinB/Controls.ini", "[Button]\ncontrolClass = CQZ_UniButton\n");
    Write("skinA/Main.ini", "[dialog]\nname = fromA\ncontrolTemplateFile = Controls.ini\n");
    Write("skinB/Main.ini", "[dialog]\nname = fromB\n");
    const std::vector<std::wstring> search = {Path("skinA"), Path("skinB")};

    EXPECT_EQ(CQZDialogDefinition::FindFile(Path("own"), L"Main.ini", search), Path("skinA") + L"/Main.ini");
    EXPECT_EQ(CQZDialogDefinition::FindFile(Path("own"), L"None.ini", search), Path("own") + L"/None.ini");

    CQZDialogDefinition definition;
    definition.SetSearchFolders(search);
    ASSERT_TRUE(definition.Load(Path("own"), L"Main.ini"));
    EXPECT_EQ(definition.GetName(), L"fromA");
    // The template file is neither beside the definition nor in skinA.
    ASSERT_TRUE(definition.GetControlTemplateFile());
    EXPECT_NE(definition.GetControlTemplateFile()->GetTemplate(L"Button"), nullptr);

    Write("own/Main.ini", "[dialog]\nname = own\n");
    CQZIniFileReader::ClearCache(true);
    ASSERT_TRUE(definition.Load(Path("own"), L"Main.ini"));
    EXPECT_EQ(definition.GetName(), L"own");

    EXPECT_FALSE(definition.Load(Path("own"), L"Missing.ini"));
    EXPECT_TRUE(Reported(L"Missing.ini"));
    EXPECT_TRUE(definition.GetName().empty());
    EXPECT_FALSE(definition.Load(Path("own"), L""));
    std::wstring path, backup;
    EXPECT_FALSE(definition.Save(path, backup));

    // A named template file that cannot be loaded fails the load.
    Write("own/Broken.ini", "[dialog]\ncontrolTemplateFile = Gone.ini\n[IDC_A]\ntype = CQZ_Static\n");
    EXPECT_FALSE(definition.Load(Path("own"), L"Broken.ini"));
    EXPECT_TRUE(Reported(L"Gone.ini"));
    EXPECT_FALSE(definition.Save(path, backup));
}

TEST_F(DialogDefinitionTest, GeneralControlsComeFirstAndAreNotWrittenBack)
{
    Write("General.ini", "[IDC_SHARED]\ntype = CQZ_ColorFrame\ntemplate = Frame\ncreate = subclass\n");
    Write("Main.ini", "[dialog]\ngeneralControlsFile = General.ini\n"
                      "[IDC_OWN]\ntype = CQZ_Static\ntemplate = Label\ncreate = subclass\n");
    CQZDialogDefinition definition;
    ASSERT_TRUE(definition.Load(wideFolder_, L"Main.ini"));
    auto& records = definition.GetRecords();
    ASSERT_EQ(Names(definition), (std::vector<std::wstring>{L"IDC_SHARED", L"IDC_OWN"}));
    EXPECT_TRUE(records[0].fromGeneralControls);
    EXPECT_FALSE(records[1].fromGeneralControls);

    // The glass variant replaces the named file unless the flags forbid it.
    Write("generalControls_vistaDialog.ini", "[IDC_GLASS]\ntype = CQZ_Static\n");
    CQZDialogDefinition glass;
    glass.SetGlassFrame(true);
    ASSERT_TRUE(glass.Load(wideFolder_, L"Main.ini"));
    EXPECT_EQ(Names(glass), (std::vector<std::wstring>{L"IDC_GLASS", L"IDC_OWN"}));
    Write("NoGlass.ini", "[dialog]\ngeneralControlsFile = General.ini\n"
                         "dialogIniFlags = QZBDD_FLAG_IGNORE_VISTA_GLASS_FRAME\n");
    ASSERT_TRUE(glass.Load(wideFolder_, L"NoGlass.ini"));
    EXPECT_EQ(Names(glass), std::vector<std::wstring>{L"IDC_SHARED"});

    for (QzDialogControlRecord& record : records)
        record.created = true;
    std::wstring path, backup;
    ASSERT_TRUE(definition.Save(path, backup));
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.find("IDC_SHARED"), std::string::npos);
    EXPECT_NE(text.find("[IDC_OWN]"), std::string::npos);
    EXPECT_NE(text.find("generalControlsFile\t\t\t= General.ini\n\n"), std::string::npos);
}

TEST_F(DialogDefinitionTest, WritingBackKeepsTheStateOfBuiltControls)
{
    WriteTemplates();
    Write("Main.ini", kDefinition);
    CQZDialogDefinition first;
    ASSERT_TRUE(first.Load(wideFolder_, L"Main.ini"));
    // Unknown flag names are skipped; a name in both template files comes
    // from the controls' file; ALIGNMENT4 follows a gap and is not kept.
    EXPECT_EQ(first.GetDialogIniFlags(), CQZDialogDefinition::QZBDD_FLAG_USE_INI_Z_ORDER |
                                             CQZDialogDefinition::QZBDD_FLAG_NO_LAYOUT);
    ASSERT_TRUE(first.GetControlTemplateFile());
    EXPECT_EQ(first.FindControlTemplate(L"Button"), first.GetControlTemplateFile()->GetTemplate(L"Button"));
    EXPECT_EQ(first.GetAlignmentLines().size(), 4u);
    auto& records = first.GetRecords();
    // A changed word is written with table names instead of the old text.
    const CQZSymbolicConstants& constants = CQZSymbolicConstants::Instance();
    records[1].style = *constants.Lookup(L"WS_CHILD") | *constants.Lookup(L"WS_DISABLED");
    // Only built controls are written, and incomplete ones are never built.
    std::vector<QzDialogControlRecord> written;
    for (QzDialogControlRecord& record : records) {
        record.created = record.complete;
        if (record.created)
            written.push_back(record);
    }
    ASSERT_EQ(written.size(), 3u);

    std::wstring path, backup;
    ASSERT_TRUE(first.Save(path, backup));
    EXPECT_EQ(path, wideFolder_ + L"/Main.ini");
    EXPECT_EQ(backup.rfind(wideFolder_ + L"/Main_", 0), 0u);
    EXPECT_EQ(backup.substr(backup.size() - 4), L".ini");
    EXPECT_EQ(backup.find(L':'), std::wstring::npos);
    EXPECT_EQ(ReadBytes(backup), kDefinition);

    // The layout itself is checked byte for byte where the designer saves.
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("create          =             subclass\n"), std::string::npos);
    EXPECT_NE(text.find("style           =             WS_CHILD|WS_DISABLED\n"), std::string::npos);
    EXPECT_NE(text.find("#                  Alignment infos\n#\n"
                        "################################################\n[ALIGNMENT1]\n"),
              std::string::npos);

    CQZDialogDefinition second;
    ASSERT_TRUE(second.Load(wideFolder_, L"Main.ini"));
    const auto dialogState = [](const CQZDialogDefinition& d) {
        return std::tuple(d.GetName(), d.GetText(), d.GetTemplate(), d.GetPosition(),
                          d.GetControlTemplateFileName(), d.GetDialogControlTemplateFileName(),
                          d.GetDialogIniFlags(), d.GetAlignmentLines());
    };
    EXPECT_EQ(dialogState(second), dialogState(first));
    const auto state = [](const QzDialogControlRecord& r) {
        return std::tuple(r.name, r.type, r.templateName, r.text, r.style, r.styleEx, r.position, r.create,
                          r.complete);
    };
    ASSERT_EQ(second.GetRecords().size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(state(second.GetRecords()[i]), state(written[i])) << i;
}

TEST_F(DialogDefinitionTest, UnicodeFilesAreWrittenBackAsUnicode)
{
    const std::u16string text = u"\uFEFF[dialog]\r\nname = Gr\u00FC\u00DFe\r\n";
    Write("Wide.ini", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    CQZDialogDefinition definition;
    ASSERT_TRUE(definition.Load(wideFolder_, L"Wide.ini"));
    EXPECT_EQ(definition.GetName(), L"Gr\u00FC\u00DFe");
    std::wstring path, backup;
    ASSERT_TRUE(definition.Save(path, backup));
    EXPECT_EQ(ReadBytes(path).substr(0, 4), std::string("\xFF\xFE#\0", 4));

    CQZDialogDefinition again;
    ASSERT_TRUE(again.Load(wideFolder_, L"Wide.ini"));
    EXPECT_EQ(again.GetName(), L"Gr\u00FC\u00DFe");
}

TEST_F(DialogDefinitionTest, HostileFilesAreReadWithinTheirLimits)
{
    // No [dialog] section: empty values, controls still read.
    Write("NoDialog.ini", "[IDC_A]\ntype = CQZ_Static\ntemplate = Label\ncreate = subclass\n");
    CQZDialogDefinition definition;
    ASSERT_TRUE(definition.Load(wideFolder_, L"NoDialog.ini"));
    EXPECT_TRUE(definition.GetName().empty());
    EXPECT_EQ(definition.GetDialogIniFlags(), 0u);
    EXPECT_EQ(Names(definition), std::vector<std::wstring>{L"IDC_A"});

    Write("Empty.ini", "");
    ASSERT_TRUE(definition.Load(wideFolder_, L"Empty.ini"));
    EXPECT_TRUE(definition.GetRecords().empty());

    // A repeated section is one control.
    Write("Twice.ini", "[IDC_A]\ntype = CQZ_Static\n[DIALOG]\nname = x\n[IDC_A]\ntext = again\n");
    ASSERT_TRUE(definition.Load(wideFolder_, L"Twice.ini"));
    EXPECT_EQ(Names(definition), std::vector<std::wstring>{L"IDC_A"});

    // Values are cut at their buffers; numbers clamp.
    const std::string huge(10000, 'x');
    Write("Huge.ini", "[dialog]\nname = " + huge + "\nposition = 99999999999999, -99999999999999, 7\n"
                      "dialogIniFlags = " + std::string(600, ' ') + "QZBDD_FLAG_NO_LAYOUT\n"
                      "[IDC_A]\ntext = " + huge + "\nstyle = " + huge + "\n");
    ASSERT_TRUE(definition.Load(wideFolder_, L"Huge.ini"));
    EXPECT_EQ(definition.GetName().size(), CQZDialogDefinition::kDialogValueBufferSize - 1);
    EXPECT_EQ(definition.GetPosition(), (QzDialogRect{INT_MAX, INT_MIN, 7, 0}));
    ASSERT_EQ(definition.GetRecords().size(), 1u);
    EXPECT_EQ(definition.GetRecords()[0].text.size(), CQZDialogDefinition::kControlValueBufferSize - 1);
    EXPECT_EQ(definition.GetRecords()[0].style, 0u);

    // Alignment sections are kept up to the ninth.
    std::string alignments;
    for (int i = 1; i <= 10; ++i)
        alignments += "[ALIGNMENT" + std::to_string(i) + "]\na = IDOK\n";
    Write("Aligned.ini", alignments);
    ASSERT_TRUE(definition.Load(wideFolder_, L"Aligned.ini"));
    EXPECT_TRUE(definition.GetRecords().empty());
    ASSERT_EQ(definition.GetAlignmentLines().size(), 18u);
    EXPECT_EQ(definition.GetAlignmentLines()[16], L"[ALIGNMENT9]");

    // Section names beyond the listing buffer are not seen.
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "[IDC_CONTROL_" + std::to_string(100000 + i) + "]\ntype = CQZ_Static\n";
    Write("Many.ini", many);
    ASSERT_TRUE(definition.Load(wideFolder_, L"Many.ini"));
    EXPECT_GT(definition.GetRecords().size(), 100u);
    EXPECT_LT(definition.GetRecords().size(), 1000u);
    EXPECT_EQ(definition.GetRecords()[0].name, L"IDC_CONTROL_100000");
}

class FilteringDefinition : public CQZDialogDefinition {
  public:
    bool AcceptRecord(const std::wstring& name, const std::wstring&) override { return name != L"IDC_SKIP"; }
    void ReadRecord(QzDialogControlRecord& record, CQZIniFileReader& reader) override
    {
        std::wstring extra;
        reader.GetString(record.name.c_str(), L"extra", L"", extra);
        extras.push_back(extra);
    }
    std::vector<std::wstring> extras;
};

TEST_F(DialogDefinitionTest, DialogFiltersRecordsAndReadsItsOwnKeys)
{
    Write("Main.ini", "[IDC_SKIP]\ntype = CQZ_Static\nextra = no\n[IDC_KEEP]\ntype = CQZ_Static\nextra = yes\n");
    FilteringDefinition definition;
    ASSERT_TRUE(definition.Load(wideFolder_, L"Main.ini"));
    EXPECT_EQ(Names(definition), std::vector<std::wstring>{L"IDC_KEEP"});
    EXPECT_EQ(definition.extras, std::vector<std::wstring>{L"yes"});
}

} // namespace
