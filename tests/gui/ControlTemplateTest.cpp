#include <gtest/gtest.h>

#include <tuple>

#include <QImage>

#include "ControlTemplateTestSupport.h"
#include "config/QZLegacyIniFileSupport.h"
#include "gui/ControlTemplateBuilder.h"
#include "gui/ControlTemplateSchema.h"
#include "gui/SymbolicConstants.h"

namespace {

std::uint32_t Flags(const wchar_t* text)
{
    return CQZSymbolicConstants::Instance().ParseFlags(text);
}

// Face, height, weight, italic and quality.
std::tuple<std::wstring, int, int, int, int> FontFacts(const LOGFONTW& font)
{
    return {font.lfFaceName, font.lfHeight, font.lfWeight, font.lfItalic, font.lfQuality};
}

} // namespace

TEST_F(ControlTemplateTest, TemplatesInheritAndEachWordFollowsItsThreeKeys)
{
    Write("Skin.ini",
          "[Derived]\ncontrolClass = CQZ_UniButton\nbaseTemplate = Base\ntextColor = 0, 255, 0\n"
          "[Base]\ncontrolClass = cqz_unibutton\n"
          "options = QZB_OPT_INIT | QZB_OPT_TEXTCOLOR | QZB_OPT_TEXTOFFSET\n"
          "textColor = 255, 0, 0\ntextOffset = 1, 2, 3, 4\nflags = QZB_GETTEXT | QZB_RADIO\n"
          "[Grandchild]\ncontrolClass = CQZ_UniButton\nbaseTemplate = derived\n"
          "flagsToAdd = QZB_MULTILINE\nflagsToRemove = QZB_RADIO\n"
          "[Replaced]\ncontrolClass = CQZ_UniButton\nbaseTemplate = Base\n"
          "options = QZB_OPT_INIT | QZB_OPT_SETFONT\noptionsToRemove = QZB_OPT_SETFONT\n"
          "[Added]\ncontrolClass = CQZ_UniButton\nbaseTemplate = Base\noptionsToAdd = QZB_OPT_SECONDDIB\n"
          "optionsToRemove = QZB_OPT_TEXTCOLOR | NOT_A_NAME\n"
          "[Edit]\ncontrolClass = CQZ_Edit\noptions = QZE_OPT_INITFLAGS\nflagsToAdd = QZE_NOTIFY_ENTER\n"
          "[EditChild]\ncontrolClass = CQZ_Edit\nbaseTemplate = Edit\nflagsToAdd = QZE_FLOAT_EDIT\n"
          "[ComboBox]\ncontrolClass = CQZ_ComboBox\noptions = QZCB_OPT_MENUPOPUPFLAGS\n"
          "menuPopupFlags = TPM_RIGHTALIGN\nmenuPopupFlagsToAdd = TPM_BOTTOMALIGN | TPM_CENTERALIGN\n"
          "menuPopupFlagsToRemove = TPM_CENTERALIGN\n");
    const auto file = Load("Skin.ini");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetTemplateCount(), 8u);
    EXPECT_EQ(file->FindTemplate(L"BASE"), 1);
    EXPECT_EQ(file->FindTemplate(L"nothing"), -1);

    const CQZControlTemplate* derived = file->GetTemplate(L"Derived");
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(derived->GetFamily(), QzTemplateFamily::Button);
    EXPECT_EQ(derived->GetOptions(), Flags(L"QZB_OPT_INIT|QZB_OPT_TEXTCOLOR|QZB_OPT_TEXTOFFSET"));
    EXPECT_EQ(derived->GetColor(L"textColor"), 0x00FF00u);
    EXPECT_EQ(derived->GetRect(L"textOffset"), (qz::platform::RECT{1, 2, 3, 4}));
    EXPECT_EQ(derived->GetFlags(L"flags"), Flags(L"QZB_GETTEXT|QZB_RADIO"));

    const CQZControlTemplate* grandchild = file->GetTemplate(L"Grandchild");
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(grandchild->GetColor(L"textColor"), 0x00FF00u);
    EXPECT_EQ(grandchild->GetFlags(L"flags"), Flags(L"QZB_GETTEXT|QZB_MULTILINE"));

    EXPECT_EQ(file->GetTemplate(L"Replaced")->GetOptions(), Flags(L"QZB_OPT_INIT"));
    EXPECT_EQ(file->GetTemplate(L"Added")->GetOptions(),
              Flags(L"QZB_OPT_INIT|QZB_OPT_TEXTOFFSET|QZB_OPT_SECONDDIB"));
    EXPECT_EQ(file->GetTemplate(L"Edit")->GetFlags(L"flags"), Flags(L"QZE_NOTIFY_ENTER"));
    EXPECT_EQ(file->GetTemplate(L"EditChild")->GetFlags(L"flags"), Flags(L"QZE_NOTIFY_ENTER|QZE_FLOAT_EDIT"));
    // The combo box defines only the adding and removing keys of this word.
    EXPECT_EQ(file->GetTemplate(L"ComboBox")->GetFlags(L"menuPopupFlags"), Flags(L"TPM_BOTTOMALIGN"));
    EXPECT_TRUE(reports_.empty());
}

TEST_F(ControlTemplateTest, GuardedKeysNeedTheirBit)
{
    Write("Skin.ini",
          "[Plain]\ncontrolClass = CQZ_UniButton\noptions = QZB_OPT_INIT\ntextColor = 1, 2, 3\n"
          "iconAlphaInDisabledState = 40\n"
          "[Colored]\ncontrolClass = CQZ_UniButton\nbaseTemplate = Plain\n"
          "optionsToAdd = QZB_OPT_TEXTCOLOR\ntextColor = 1, 2, 3\n"
          "[Meter]\ncontrolClass = CQZ_PeakMeterCtrl\noptions = QZPM_OPT_SETBARS\nbarCount = 12\n"
          "highPos = 80\n"
          "[Dialog]\ncontrolClass = CQZ_BeautyDialog\noptions = QZBDLG_OPT_INIT\n"
          "flags = QZBDLG_FLG_HANDLE_KEYS\ncloseButtonTemplate = Plain\n"
          "[DialogWithClose]\ncontrolClass = CQZ_BeautyDialog\nbaseTemplate = Dialog\n"
          "flagsToAdd = QZBDLG_FLG_CLOSE_BUTTON\ncloseButtonTemplate = Plain\n"
          "[NoGeneric]\ncontrolClass = CQZ_BeautyDialog\noptions = QZBDLG_OPT_PREGENERICSTRUCT\n");
    const auto file = Load("Skin.ini");
    ASSERT_TRUE(file);
    const CQZControlTemplate* plain = file->GetTemplate(L"Plain");
    EXPECT_EQ(plain->FindColor(L"textColor"), nullptr);
    EXPECT_EQ(plain->GetInt(L"iconAlphaInDisabledState"), 40);
    // Keys come from the template's own section once its option word
    // enables them; the base never read the value, so there is nothing to
    // inherit.
    EXPECT_EQ(file->GetTemplate(L"Colored")->GetColor(L"textColor"), 0x030201u);

    EXPECT_EQ(file->GetTemplate(L"Meter")->GetInt(L"barCount"), 12);
    EXPECT_EQ(file->GetTemplate(L"Meter")->FindInt(L"highPos"), nullptr);

    EXPECT_EQ(file->GetTemplate(L"Dialog")->FindText(L"closeButtonTemplate"), nullptr);
    EXPECT_EQ(file->GetTemplate(L"DialogWithClose")->GetText(L"closeButtonTemplate"), L"Plain");
    EXPECT_EQ(file->GetTemplate(L"NoGeneric")->FindImageGroup(L"generic"), nullptr);
    EXPECT_TRUE(Reported(L"generic.XXX"));
}

TEST_F(ControlTemplateTest, ValueFormsReadAsWritten)
{
    WriteImage("standard.png", 4, 3);
    WriteImage("pressed.png", 2, 2);
    Write("Skin.ini",
          "[general]\ndibStandard = standard.png\ndibPressed = missing.png\nred = 255, 0, 0\n"
          "Glass = 255, 255, 255, 128\n[Button]\ncontrolClass = CQZ_UniButton\n"
          "options = QZB_OPT_TEXTCOLOR | QZB_OPT_MOUSEOVERSTATE | QZB_OPT_SETDISABLED | QZB_OPT_SETFONT |"
          " QZB_OPT_SECONDDIB | QZB_OPT_PREGENERICSTRUCT | QZB_OPT_BORDERSTYLESTRUCT | QZB_OPT_DISABLEDDIBS |"
          " QZB_OPT_HANDLEKEYS\ntextColor = red\npressedColor = 255, 0, 0, 128\nmouseOverColor = GLASS\n"
          "hiliteColor = 300, -1\ndisabledColor = 99999999999999999999, 0, 0\n"
          "pressedButtonDib = pressed.png\nsecondButtonDib = nowhere.png\nsecondDibPlacement = 10, 20, 30\n"
          "font = Sans Serif, -12.7, 700, 1\ngenericDrawing.type = QZB_GENERIC_HORIZONTAL\n"
          "genericDrawing.source = pressed.png\ngenericDrawing.borders = 1, 2, 3, 4\n"
          "genericDrawing.left = QZDIB_IMG_TILEX\ngenericDrawing.ROP = SRCCOPY\n"
          "genericDrawing.transparency = 50\ngenericDrawing.centerColor = red\n"
          "genericDrawing.tile.lefttop = standard.png\ngenericDrawing.svg.image = arrow.svg\n"
          "genericDrawing.svg.image.state.pressed = arrow-down.svg\n"
          "borderStyle.style = QZB_BST_COMPLETE | QZB_BST_DOTTED\nborderStyle.nBorder = 2\n"
          "disabledDIBIndex = QZB_DIB_DISABLED\ndisabledCheckedDIBIndex = 3\n"
          "handledKeys = QZB_HANDLE_RETURN | QZB_HANDLE_SPACE\n[Dialog]\ncontrolClass = CQZ_BeautyDialog\n"
          "options = QZBDLG_OPT_INIT | QZBDLG_OPT_PREINITGENERIC | QZBDLG_OPT_CAPTIONFONT |"
          " QZBDLG_OPT_REGIONPOINTS | QZBDLG_OPT_CAPTIONBARHEIGHT | QZBDLG_OPT_DARKEN_SURFACE |"
          " QZBDLG_OPT_DIALOGBORDER | QZBDLG_OPT_PREGENERICSTRUCT | QZBDLG_OPT_BACKGROUNDDIB\n"
          "backgroundColor = Glass\nbackgroundDialogDib = pressed.png\n"
          "generic.Type = QZBDLG_GENERIC_SVG_RENDER\ngeneric.Borders = 5, 6, 7, 8\n"
          "generic.TileLeft = standard.png\n"
          "backgroundplacement = 0, 0, 200, 100\nregionPoints = 0,0, 10,0, 10,10, 5\n"
          "dialogBorders = 1 1 1 1\ncaption.name = Caption Face\ncaption.height = -14\ncaption.weight = 700\n"
          "caption.quality = ANTIALIASED_QUALITY\ncaption.family = VARIABLE_PITCH | FF_SWISS\n"
          "caption.italic = 5\ncaption.color = red\ncaption.offset = 4, 2\n"
          "caption.format = DT_CENTER | DT_SINGLELINE\ncaptionbar = 24\ndarkensurface.targetAlpha = 160\n"
          "darkensurface.blendColor = 0, 0, 64\n"
          "[Own]\ncontrolClass = CQZ_BeautyDialog\noptions = QZBDLG_OPT_PREINITGENERIC\n"
          "background.source = pressed.png\ngeneric.Type = QZBDLG_GENERIC_SVG_RENDER\nregionDialogDib = " +
              std::string(300, 'n') + "\n");
    const auto file = Load("Skin.ini");
    ASSERT_TRUE(file);
    const CQZControlTemplate* button = file->GetTemplate(L"Button");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetColor(L"textColor"), 255u);
    EXPECT_EQ(button->GetColor(L"pressedColor"), 255u + 128u * 16777216u);
    EXPECT_EQ(button->GetColor(L"mouseOverColor"), 0x80FFFFFFu);
    EXPECT_EQ(button->GetColor(L"hiliteColor"), 44u + 255u * 256u);
    EXPECT_EQ(button->GetColor(L"disabledColor"), 255u);

    // Images: names resolve beside the file; a missing key falls back to
    // the default image; an unknown file keeps its name without a path.
    ASSERT_NE(button->FindImage(L"pressedButtonDib"), nullptr);
    EXPECT_EQ(button->FindImage(L"pressedButtonDib")->path, wideFolder_ + L"/pressed.png");
    const QzTemplateImage* standard = button->FindImage(L"standardButtonDib");
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(standard->name, L"dibStandard");
    EXPECT_EQ(standard->path, wideFolder_ + L"/standard.png");
    EXPECT_EQ(button->FindImage(L"secondButtonDib")->path, L"");
    EXPECT_EQ(file->ResolveImage(L"dibPressed"), L"");
    EXPECT_TRUE(Reported(L"missing.png"));
    const auto pixels = file->GetImage(L"dibStandard");
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width(), 4);
    EXPECT_EQ(pixels->pixel(1, 1), qRgb(10, 20, 30));
    EXPECT_EQ(file->GetImage(L"standard.png"), pixels);
    EXPECT_FALSE(file->GetImage(L"nowhere.png"));

    EXPECT_EQ(button->GetRect(L"secondDibPlacement"), (qz::platform::RECT{10, 20, 30, 0}));

    const LOGFONTW* font = button->FindFont(L"font");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(FontFacts(*font), std::tuple(L"Sans Serif", -12, 700, 1, 3));

    const QzTemplateImageGroup* generic = button->FindImageGroup(L"genericDrawing");
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(std::tuple(generic->type, generic->left, generic->rop, generic->transparency,
                         generic->centerColor), std::tuple(1u, 2u, 0x00CC0020u, 50, 255u));
    EXPECT_EQ(generic->source.path, wideFolder_ + L"/pressed.png");
    EXPECT_EQ(generic->borders, (qz::platform::RECT{1, 2, 3, 4}));
    ASSERT_EQ(generic->tiles.count(L"lefttop"), 1u);
    EXPECT_EQ(generic->tiles.at(L"lefttop").path, wideFolder_ + L"/standard.png");
    ASSERT_EQ(generic->svg.size(), 2u);
    EXPECT_EQ(generic->svg.at(L"image.state.pressed"), L"arrow-down.svg");

    EXPECT_EQ(button->GetFlags(L"borderStyle.style"), 17u);
    EXPECT_EQ(button->GetInt(L"borderStyle.nBorder"), 2);
    EXPECT_EQ(button->GetFlags(L"disabledDIBIndex"), 6u);
    EXPECT_EQ(button->GetFlags(L"disabledCheckedDIBIndex"), 3u);
    EXPECT_EQ(button->GetFlags(L"handledKeys"), 9u);

    const CQZControlTemplate* dialog = file->GetTemplate(L"Dialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetColor(L"backgroundColor"), 0x80FFFFFFu);
    EXPECT_EQ(dialog->FindImage(L"backgroundDialogDib")->path, wideFolder_ + L"/pressed.png");
    EXPECT_EQ(dialog->FindImage(L"regionDialogDib")->name, L"dibStandard");
    // No "background.*" keys: the older generic keys describe the background.
    const auto* background = dialog->FindImageGroup(L"background");
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->type, 3u);
    EXPECT_EQ(background->borders, (qz::platform::RECT{5, 6, 7, 8}));
    EXPECT_EQ(background->tiles.at(L"left").path, wideFolder_ + L"/standard.png");
    // Keys compare without regard to case, so the older keys also feed the
    // "generic" group.
    ASSERT_NE(dialog->FindImageGroup(L"generic"), nullptr);
    EXPECT_EQ(dialog->FindImageGroup(L"generic")->type, 3u);
    EXPECT_EQ(dialog->GetRect(L"backgroundplacement"), (qz::platform::RECT{0, 0, 200, 100}));
    EXPECT_EQ(dialog->FindRect(L"secondbackgroundplacement"), nullptr);
    const auto* points = dialog->FindPoints(L"regionPoints");
    ASSERT_NE(points, nullptr);
    ASSERT_EQ(points->size(), 3u);
    EXPECT_EQ((*points)[2], (qz::platform::POINT{10, 10}));
    EXPECT_EQ(dialog->GetRect(L"dialogBorders"), (qz::platform::RECT{1, 1, 1, 1}));
    const QzTemplateFont* caption = dialog->FindFontGroup(L"caption");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(FontFacts(caption->font), std::tuple(L"Caption Face", -14, 700, 1, 4));
    EXPECT_EQ(caption->font.lfPitchAndFamily, 0x22);
    EXPECT_EQ(std::tuple(caption->color, caption->format), std::tuple(255u, 0x21u));
    EXPECT_EQ(caption->offset, (qz::platform::RECT{4, 2, 0, 0}));
    EXPECT_EQ(dialog->GetInt(L"captionbar"), 24);
    EXPECT_EQ(dialog->GetInt(L"darkensurface.targetAlpha"), 160);
    EXPECT_EQ(dialog->GetColor(L"darkensurface.blendColor"), 0x400000u);

    // A "background" group of its own wins over the older keys; image names are cut.
    const CQZControlTemplate* own = file->GetTemplate(L"Own");
    ASSERT_NE(own, nullptr);
    ASSERT_NE(own->FindImageGroup(L"background"), nullptr);
    EXPECT_EQ(own->FindImageGroup(L"background")->type, 0u);
    EXPECT_EQ(own->FindImage(L"regionDialogDib")->name.size(), CQZControlTemplateFile::kMaxImageName);
}

TEST_F(ControlTemplateTest, FontsFallBackToTheirAlternative)
{
    CQZLegacyIniFileSupport::SetTavorFontQueries(
        [](const wchar_t* face) { return std::wstring(face) == L"House"; }, [] { return false; });
    Write("Skin.ini", "[Menu]\ncontrolClass = CQZ_Menu\noptions = QZM_OPT_TEXTFONT\n"
                      "fontDefault = House, 10, 400\nfontDefault.alternative = Fallback, 11, 700, 0, 0, 0, 0, 5\n"
                      "fontSelected = Plain Face, 9, 400\n");
    const auto file = Load("Skin.ini");
    CQZLegacyIniFileSupport::SetTavorFontQueries({}, {});
    ASSERT_TRUE(file);
    const CQZControlTemplate* menu = file->GetTemplate(L"Menu");
    const LOGFONTW* font = menu->FindFont(L"fontDefault");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(FontFacts(*font), std::tuple(L"Fallback", 11, 700, 0, 5));
    EXPECT_EQ(std::wstring(menu->FindFont(L"fontSelected")->lfFaceName), L"Plain Face");
}

TEST_F(ControlTemplateTest, CacheSharesFilesWithoutRegardToCase)
{
    Write("Skin.ini", "[Button]\ncontrolClass = CQZ_UniButton\n");
    const auto first = Load("Skin.ini");
    ASSERT_TRUE(first);
    // The same file under other letter cases and with a trailing separator
    // is the cached one, even where the file system would not find it.
    std::wstring upperFolder = wideFolder_;
    for (wchar_t& c : upperFolder)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    EXPECT_EQ(CQZControlTemplateCache::Instance().Load(upperFolder + L"/", L"SKIN.INI"), first);
    EXPECT_EQ(Load("skin.ini"), first);
    EXPECT_EQ(CQZControlTemplateCache::Instance().GetEntryCount(), 1u);

    EXPECT_FALSE(Load("Missing.ini"));
    EXPECT_EQ(CQZControlTemplateCache::Instance().GetEntryCount(), 1u);
    Write("Missing.ini", "[Static]\ncontrolClass = CQZ_Static\n");
    const auto late = Load("Missing.ini");
    ASSERT_TRUE(late);
    EXPECT_NE(late->GetTemplate(L"static"), nullptr);
    EXPECT_EQ(CQZControlTemplateCache::Instance().GetEntryCount(), 2u);
}

TEST_F(ControlTemplateTest, HostileFilesLoadWithoutHarm)
{
    std::string text = "[general]\nhuge = 4294967296, 99999999999999999999999, -4294967297\n";
    // Too many named values: those past the limit are not read.
    for (int i = 0; i < 400; ++i)
        text += "name" + std::to_string(i) + " = 1, 2, 3\n";
    text += "[Static]\ncontrolClass = CQZ_Static\noptions = QZS_OPT_BKGCOLOR\nbackgroundColor = name3\n"
            "[A]\ncontrolClass = CQZ_Static\nbaseTemplate = B\noptions = QZS_OPT_BKGCOLOR\n"
            "backgroundColor = huge\n"
            "[B]\ncontrolClass = CQZ_Static\nbaseTemplate = A\ntextHeight = 99999999999\n"
            "[Self]\ncontrolClass = CQZ_Static\nbaseTemplate = Self\ntextHeight = 3\n"
            "[Orphan]\ncontrolClass = CQZ_Static\nbaseTemplate = Nobody\ntextHeight = 4\n"
            "[Stranger]\ncontrolClass = CQZ_Gizmo\n"
            "[Unknown]\ncontrolClass = CQZ_UniButton\noptions = NOT_A_FLAG | 12345 | QZB_OPT_INIT\nflags = " +
            std::string(100000, 'X') + "|QZB_RADIO\n";
    // A long chain of bases, each naming the next one further down.
    const int chain = 3000;
    for (int i = 0; i < chain; ++i) {
        text += "[C" + std::to_string(i) + "]\ncontrolClass = CQZ_Static\n" +
                (i + 1 < chain ? "baseTemplate = C" + std::to_string(i + 1) + "\n" : "textHeight = 77\n");
    }
    Write("Hostile.ini", text);
    const auto file = Load("Hostile.ini");
    ASSERT_TRUE(file);

    // The cycle is broken at one place; both templates exist and read on.
    const CQZControlTemplate* a = file->GetTemplate(L"A");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(file->GetTemplate(L"B"), nullptr);
    EXPECT_EQ(file->GetTemplate(L"B")->GetInt(L"textHeight"), 2147483647);
    EXPECT_EQ(a->GetInt(L"textHeight"), 2147483647);
    // Numbers saturate at the 32-bit limits before each part is cut to a byte.
    EXPECT_EQ(a->GetColor(L"backgroundColor"), 0x0000FFFFu);
    EXPECT_TRUE(Reported(L"names itself"));
    EXPECT_EQ(file->GetTemplate(L"Self")->GetInt(L"textHeight"), 3);
    EXPECT_EQ(file->GetTemplate(L"Orphan")->GetInt(L"textHeight"), 4);
    EXPECT_TRUE(Reported(L"Nobody"));
    EXPECT_EQ(file->GetTemplate(L"Stranger"), nullptr);
    EXPECT_TRUE(Reported(L"CQZ_Gizmo"));
    EXPECT_EQ(file->GetTemplate(L"Unknown")->GetOptions(), Flags(L"QZB_OPT_INIT"));
    EXPECT_EQ(file->GetTemplate(L"Unknown")->GetFlags(L"flags"), 0u);
    EXPECT_EQ(file->GetTemplate(L"C0")->GetInt(L"textHeight"), 77);
    EXPECT_TRUE(Reported(L"too long"));
    EXPECT_EQ(file->GetTemplate(L"Static")->GetColor(L"backgroundColor"), 0x030201u);
    EXPECT_FALSE(file->GetNamedValue(L"name399").has_value());
}

TEST(ControlTemplateSchema, EveryGuardIsAKnownBitOfItsFamily)
{
    const auto& table = CQZSymbolicConstants::Instance();
    for (int f = static_cast<int>(QzTemplateFamily::Button); f <= static_cast<int>(QzTemplateFamily::Dialog);
         ++f) {
        const auto family = static_cast<QzTemplateFamily>(f);
        EXPECT_EQ(QzTemplateFamilyFromClass(QzTemplateControlClass(family)), family);
        EXPECT_FALSE(QzTemplateKeys(family).empty());
        for (const QzTemplateKeySpec& spec : QzTemplateKeys(family)) {
            if (spec.guard == nullptr)
                continue;
            const auto bit = table.Lookup(spec.guard);
            ASSERT_TRUE(bit.has_value()) << static_cast<int>(f);
            EXPECT_NE(*bit, 0u);
        }
    }
    EXPECT_EQ(QzTemplateFamilyFromClass(L"cqz_peakmeterctrl"), QzTemplateFamily::PeakMeter);
    EXPECT_EQ(QzTemplateFamilyFromClass(L"CQZ_Nothing"), QzTemplateFamily::Unknown);
}
