#include "gui/ControlTemplateSchema.h"

#include "config/QzStringMap.h"

namespace {

using F = QzTemplateValueForm;
using K = QzTemplateKeySpec;

constexpr K kButton[] = {
    {L"standardButtonDib", F::Image},
    {L"pressedButtonDib", F::Image},
    {L"disabledButtonDib", F::Image},
    {L"hiliteButtonDib", F::Image},
    {L"defaultButtonDib", F::Image},
    {L"defaultHiliteButtonDib", F::Image},
    {L"flags", F::FlagWord, L"QZB_OPT_INIT"},
    {L"extendedFlags", F::FlagWord, L"QZB_OPT_INIT"},
    {L"font", F::Font, L"QZB_OPT_SETFONT"},
    {L"textOffset", F::Rect, L"QZB_OPT_TEXTOFFSET"},
    {L"minimumTextExtend", F::Rect, L"QZB_OPT_MINTEXTEXT"},
    {L"maximumTextExtend", F::Rect, L"QZB_OPT_MAXTEXTEXT"},
    {L"textColor", F::Color, L"QZB_OPT_TEXTCOLOR"},
    {L"secondButtonDib", F::Image, L"QZB_OPT_SECONDDIB"},
    {L"thirdButtonDib", F::Image, L"QZB_OPT_THIRDDIB"},
    {L"secondDibPlacement", F::Rect, L"QZB_OPT_SECONDDIB"},
    {L"thirdDibPlacement", F::Rect, L"QZB_OPT_THIRDDIB"},
    {L"genericDrawing", F::ImageGroup, L"QZB_OPT_PREGENERICSTRUCT"},
    {L"pressedColor", F::Color, L"QZB_OPT_TEXTCOLOR"},
    {L"mouseOverColor", F::Color, L"QZB_OPT_MOUSEOVERSTATE"},
    {L"hiliteColor", F::Color, L"QZB_OPT_MOUSEOVERSTATE"},
    {L"disabledColor", F::Color, L"QZB_OPT_SETDISABLED"},
    {L"defaultColor", F::Color, L"QZB_OPT_TEXTCOLOR"},
    {L"borderStyle.style", F::IntegerOrFlags, L"QZB_OPT_BORDERSTYLESTRUCT"},
    {L"borderStyle.nBorder", F::Integer, L"QZB_OPT_BORDERSTYLESTRUCT"},
    {L"borderStyle.borderRect", F::Rect, L"QZB_OPT_BORDERSTYLESTRUCT"},
    {L"borderStyle.borderColor", F::Color, L"QZB_OPT_BORDERSTYLESTRUCT"},
    {L"markerButtonDib", F::Image, L"QZB_OPT_MARKERDIB"},
    {L"markerPlacement", F::Rect, L"QZB_OPT_MARKERDIB"},
    {L"markerColor", F::Color, L"QZB_OPT_SETMARKER"},
    {L"markerRect", F::Rect, L"QZB_OPT_SETMARKER"},
    {L"markerStyle", F::IntegerOrFlags, L"QZB_OPT_SETMARKER"},
    {L"disabledDIBIndex", F::IntegerOrFlags, L"QZB_OPT_DISABLEDDIBS"},
    {L"disabledCheckedDIBIndex", F::IntegerOrFlags, L"QZB_OPT_DISABLEDDIBS"},
    {L"hoverDIBIndex", F::IntegerOrFlags, L"QZB_OPT_MOUSEOVERDIBS"},
    {L"hoverCheckedDIBIndex", F::IntegerOrFlags, L"QZB_OPT_MOUSEOVERDIBS"},
    {L"animationDIBIndex", F::IntegerOrFlags, L"QZB_OPT_ANIMATIONDIBS"},
    {L"animationHighlightDIBIndex", F::IntegerOrFlags, L"QZB_OPT_ANIMATIONDIBS"},
    {L"animationType", F::IntegerOrFlags, L"QZB_OPT_SETANIMATION"},
    {L"handledKeys", F::IntegerOrFlags, L"QZB_OPT_HANDLEKEYS"},
    {L"multiFormat", F::IntegerOrFlags, L"QZB_OPT_TEXTFORMAT"},
    {L"iconAlphaInDisabledState", F::Integer},
};

constexpr K kStatic[] = {
    {L"backgroundStaticDib", F::Image},
    {L"flags", F::FlagWord, L"QZS_OPT_INIT"},
    {L"textHeight", F::Integer},
    {L"font", F::Font, L"QZS_OPT_SETFONT"},
    {L"textOffset", F::Rect, L"QZS_OPT_SETTEXTOFFSET"},
    {L"backgroundColor", F::Color, L"QZS_OPT_BKGCOLOR"},
    {L"genericStruct", F::ImageGroup, L"QZS_OPT_PREGENERICSTRUCT"},
    {L"disabledColor", F::Color, L"QZS_OPT_DISABLEDCOLOR"},
    {L"activeColor", F::Color, L"QZS_OPT_ACTIVECOLOR"},
    {L"minimumTextExtend", F::Rect, L"QZS_OPT_MINTEXTEXT"},
    {L"maximumTextExtend", F::Rect, L"QZS_OPT_MAXTEXTEXT"},
    {L"textFormat", F::IntegerOrFlags, L"QZS_OPT_SETDRAWTEXTFLAGS"},
    {L"iconPlacement", F::Rect, L"QZS_OPT_SETICONDIB"},
    {L"iconStaticDib", F::Image, L"QZS_OPT_SETICONDIB"},
    {L"icon.svg.image", F::Text, L"QZS_OPT_SETICONDIB"},
    {L"iconCount", F::Integer, L"QZS_OPT_SETICONDIB"},
    {L"iconFlags", F::IntegerOrFlags, L"QZS_OPT_SETICONDIB"},
    {L"iconIndex", F::Integer, L"QZS_OPT_SETICONINDEX"},
    {L"iconOffset", F::Rect, L"QZS_OPT_SETICONOFFSET"},
    {L"iconAnimation", F::Integer, L"QZS_OPT_SETICONANIMATION"},
};

constexpr K kEdit[] = {
    {L"backgroundEditDib", F::Image},
    {L"flags", F::FlagWord, L"QZE_OPT_INITFLAGS"},
    {L"dialogColor", F::Color, L"QZE_OPT_CUSTOMCOLORS"},
    {L"font", F::Font, L"QZE_OPT_FONTINDIRECT"},
    {L"border", F::Integer, L"QZE_OPT_BORDERINDENT"},
    {L"nonClientEdge", F::Integer, L"QZE_OPT_NONCLIENTEDGE"},
    {L"framePlacement", F::Rect, L"QZE_OPT_COLORFRAME"},
    {L"frameMargins", F::Rect, L"QZE_OPT_COLORFRAME"},
    {L"scrollBarH.offset", F::Rect, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarH.template", F::SubTemplate, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarH.style", F::FlagText, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarH.exstyle", F::FlagText, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarH.height", F::Integer, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarH.backgroundColor", F::Color, L"QZE_OPT_QZSCROLLBARH"},
    {L"scrollBarV.offset", F::Rect, L"QZE_OPT_QZSCROLLBARV"},
    {L"scrollBarV.template", F::SubTemplate, L"QZE_OPT_QZSCROLLBARV"},
    {L"scrollBarV.style", F::FlagText, L"QZE_OPT_QZSCROLLBARV"},
    {L"scrollBarV.exstyle", F::FlagText, L"QZE_OPT_QZSCROLLBARV"},
    {L"scrollBarV.width", F::Integer, L"QZE_OPT_QZSCROLLBARV"},
    {L"scrollBarV.backgroundColor", F::Color, L"QZE_OPT_QZSCROLLBARV"},
    {L"levelDisplayColor", F::Color, L"QZE_OPT_LEVELDISPLAY"},
    {L"levelBkgndColor", F::Color, L"QZE_OPT_LEVELDISPLAY"},
    {L"levelOffset", F::Rect, L"QZE_OPT_LEVELDISPLAY"},
    {L"levelBarHeight", F::Integer, L"QZE_OPT_LEVELDISPLAY"},
};

constexpr K kPeakMeter[] = {
    {L"backgroundPeakmeterDib", F::Image},
    {L"ledPeakmeterDib", F::Image},
    {L"flags", F::FlagWord, L"QZPM_OPT_INIT"},
    {L"range", F::Integer, L"QZPM_OPT_INIT"},
    {L"headBuffer", F::Integer, L"QZPM_OPT_INIT"},
    {L"maxColor", F::Color, L"QZPM_OPT_MAXCOLOR"},
    {L"maxThickness", F::Integer, L"QZPM_OPT_MAXGAPS"},
    {L"maxDeflate", F::Integer, L"QZPM_OPT_MAXGAPS"},
    {L"barCount", F::Integer, L"QZPM_OPT_SETBARS"},
    {L"barThickness", F::Integer, L"QZPM_OPT_SETBARS"},
    {L"barDistance", F::Integer, L"QZPM_OPT_SETBARS"},
    {L"barOffset", F::Integer, L"QZPM_OPT_SETBARS"},
    {L"barSeparationColor", F::Color, L"QZPM_OPT_SETBARS"},
    {L"highPos", F::Integer, L"QZPM_OPT_HIGHLOWPOS"},
    {L"lowPos", F::Integer, L"QZPM_OPT_HIGHLOWPOS"},
    {L"highLevel", F::Integer, L"QZPM_OPT_HIGHLOWPOS"},
    {L"lowLevel", F::Integer, L"QZPM_OPT_HIGHLOWPOS"},
    {L"recoilDelayLevel", F::Integer, L"QZPM_OPT_RECOILPARAMETERS"},
    {L"recoilAccelerationLevel", F::Integer, L"QZPM_OPT_RECOILPARAMETERS"},
    {L"recoilDelayPeak", F::Integer, L"QZPM_OPT_RECOILPARAMETERS"},
    {L"recoilAccelerationPeak", F::Integer, L"QZPM_OPT_RECOILPARAMETERS"},
    {L"progressIndicationDib", F::Image, L"QZPM_OPT_PROGRESSINDICATION"},
    {L"progressIndicationDibPlacement", F::Rect, L"QZPM_OPT_PROGRESSINDICATION"},
};

constexpr K kComboBox[] = {
    {L"standardComboBoxDib", F::Image},
    {L"pressedComboBoxDib", F::Image},
    {L"disabledComboBoxDib", F::Image},
    {L"hiliteComboBoxDib", F::Image},
    {L"comboBoxFlags", F::FlagText, L"QZCB_OPT_INIT"},
    {L"buttonFlags", F::FlagText, L"QZCB_OPT_INIT"},
    {L"buttonXFlags", F::FlagText, L"QZCB_OPT_INIT"},
    {L"menuFlags", F::FlagText, L"QZCB_OPT_INIT"},
    {L"comboDIB.placement", F::Rect, L"QZCB_OPT_INIT"},
    {L"buttonDIB.placement", F::Rect, L"QZCB_OPT_INIT"},
    {L"leftPixels", F::Integer, L"QZCB_OPT_LEFTPIXELS"},
    {L"customPictureOffset", F::Rect, L"QZCB_OPT_CUSTOM_MENU_PICTURES"},
    {L"customPictureSizeMode", F::IntegerOrFlags, L"QZCB_OPT_CUSTOM_MENU_PICTURES"},
    {L"backgroundColor", F::Color, L"QZCB_OPT_MENUCOLOR"},
    {L"backgroundSelectedColor", F::Color, L"QZCB_OPT_MENUCOLOR"},
    {L"textColor", F::Color, L"QZCB_OPT_TEXTCOLOR"},
    {L"selectedTextColor", F::Color, L"QZCB_OPT_TEXTCOLOR"},
    {L"disabledTextColor", F::Color, L"QZCB_OPT_DISTEXTCOLOR"},
    {L"buttonTextColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonPressedColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonMouseOverColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonHighlightColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonDisabledColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonBackgroundColor", F::Color, L"QZCB_OPT_BUTTONTEXTCOLOR"},
    {L"buttonTextOffset", F::Rect, L"QZCB_OPT_BUTTONTEXTOFFSET"},
    {L"buttonTextFormat", F::IntegerOrFlags, L"QZCB_OPT_BUTTON_PROPS"},
    {L"font", F::Font, L"QZCB_OPT_CHANGEFONT"},
    {L"comboDisabledDIB.placement", F::Rect, L"QZCB_OPT_SETDISABLED"},
    {L"comboMouseOverDIB.placement", F::Rect, L"QZCB_OPT_MOUSEOVERSTATE"},
    {L"custom.template", F::SubTemplate, L"QZCB_OPT_CUSTOMCOMBO"},
    {L"custom.edit", F::SubTemplate, L"QZCB_OPT_CUSTOMCOMBO"},
    {L"custom.background", F::Text, L"QZCB_OPT_CUSTOMCOMBO"},
    {L"customBkgComboBoxDib", F::Image, L"QZCB_OPT_CUSTOMCOMBO"},
    {L"custom.edit.margin", F::Rect, L"QZCB_OPT_CUSTOMEDIT_MARGIN"},
    {L"menuBreakString", F::Text, L"QZCB_OPT_MENUBREAK"},
    {L"menuTemplate", F::SubTemplate, L"QZCB_OPT_MENUPROPS"},
    {L"menuPopupFlags", F::FlagWord, L"QZCB_OPT_MENUPOPUPFLAGS", false, kFlagWordAdd | kFlagWordRemove},
    {L"genericButton", F::ImageGroup},
    {L"menuAlign", F::IntegerOrFlags, L"QZCB_OPT_MENUALIGN"},
};

constexpr K kFader[] = {
    {L"backgroundFaderDib", F::Image},
    {L"backgroundDefaultFaderDib", F::Image},
    {L"thumbFaderDib", F::Image},
    {L"thumbDefaultFaderDib", F::Image},
    {L"thumbDisabledFaderDib", F::Image},
    {L"postionIndicatorDib", F::Image},
    {L"flags", F::FlagWord, L"QZF_OPT_INIT"},
    {L"extendedFlags", F::FlagWord, L"QZF_OPT_INIT"},
    {L"genericOffset", F::Rect, L"QZF_OPT_PREGENERIC"},
    {L"genericType", F::IntegerOrFlags, L"QZF_OPT_PREGENERIC"},
    {L"genericBackground", F::ImageGroup, L"QZF_OPT_PREGENERICSTRUCT"},
    {L"genericThumb", F::ImageGroup, L"QZF_OPT_PREGENERICSTRUCT_THUMB"},
    {L"genericIndicator", F::ImageGroup, L"QZF_OPT_PREGENERICSTRUCT_INDICATOR"},
    {L"backgroundDIB.placement", F::Rect, L"QZF_OPT_BKGDIB"},
    {L"backgroundDefaultDIB.placement", F::Rect, L"QZF_OPT_BKGDEF"},
    {L"thumbDIB.placement", F::Rect, L"QZF_OPT_THUMBDIB"},
    {L"thumbDIBDefault.placement", F::Rect, L"QZF_OPT_THUMBDEF"},
    {L"thumbDIBDisabled.placement", F::Rect, L"QZF_OPT_THUMBDIS"},
    {L"thumbMargins", F::Rect, L"QZF_OPT_THUMBMARGINS"},
    {L"thumbAreas", F::Rect, L"QZF_OPT_THUMBAREAS"},
    {L"minThumbSize", F::Integer, L"QZF_OPT_MINTHUMBSIZE"},
    {L"postionIndicatorDib.placement", F::Rect, L"QZF_OPT_POSITIONINDICATORDIB"},
};

constexpr K kListBox[] = {
    {L"flags", F::FlagWord, L"QZL_OPT_INIT"},
    {L"font", F::Font, L"QZL_OPT_SETFONT"},
    {L"itemHeight", F::Integer, L"QZL_OPT_SETITEMHEIGHT"},
    {L"vScrollBar.width", F::Integer, L"QZL_OPT_QZSCROLLBARS"},
    {L"vScrollBar.template", F::SubTemplate, L"QZL_OPT_QZSCROLLBARS"},
    {L"hScrollBar.height", F::Integer, L"QZL_OPT_QZSCROLLBARS"},
    {L"hScrollBar.template", F::SubTemplate, L"QZL_OPT_QZSCROLLBARS"},
};

#define QZ_SCROLL_PART(part, guard)                                                                          \
    {L"" part ".template", F::SubTemplate, guard}, {L"" part ".offset", F::Rect, guard},                     \
        {L"" part ".style", F::FlagText, guard},                                                             \
    {                                                                                                        \
        L"" part ".exstyle", F::FlagText, guard                                                              \
    }
constexpr K kScrollBar[] = {
    {L"flags", F::FlagWord, L"QZSB_OPT_INIT"},
    QZ_SCROLL_PART("buttonLess", L"QZSB_OPT_BUTTONLESS"),
    {L"buttonLess.height", F::Integer, L"QZSB_OPT_BUTTONLESS"},
    {L"buttonLess.width", F::Integer, L"QZSB_OPT_BUTTONLESS"},
    QZ_SCROLL_PART("buttonMore", L"QZSB_OPT_BUTTONMORE"),
    {L"buttonMore.height", F::Integer, L"QZSB_OPT_BUTTONMORE"},
    {L"buttonMore.width", F::Integer, L"QZSB_OPT_BUTTONMORE"},
    QZ_SCROLL_PART("faderScroll", L"QZSB_OPT_FADERSCROLL"),
    {L"faderScroll.height", F::Integer, L"QZSB_OPT_FADERSCROLL"},
    {L"faderScroll.width", F::Integer, L"QZSB_OPT_FADERSCROLL"},
    QZ_SCROLL_PART("staticLess", L"QZSB_OPT_STATICLESS"),
    QZ_SCROLL_PART("staticMore", L"QZSB_OPT_STATICMORE"),
};
#undef QZ_SCROLL_PART

constexpr K kSpinButton[] = {
    {L"defaultUpSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"defaultDownSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"pressedUpSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"pressedDownSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"highliteUpSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"highliteDownSpinButtonDib", F::Image, L"QZSP_OPT_SETDIBS"},
    {L"flags", F::FlagWord, L"QZSP_OPT_INIT"},
    {L"correction", F::Integer},
    {L"placementUp", F::Rect, L"QZSP_OPT_SETDIBS"},
    {L"placementDown", F::Rect, L"QZSP_OPT_SETDIBS"},
    {L"bordersUp", F::Rect, L"QZSP_OPT_SETDIBS"},
    {L"bordersDown", F::Rect, L"QZSP_OPT_SETDIBS"},
    {L"image.svg.up", F::Text, L"QZSP_OPT_SETSVGS"},
    {L"image.svg.down", F::Text, L"QZSP_OPT_SETSVGS"},
};

constexpr K kDateTime[] = {
    {L"flags", F::FlagWord},
    {L"colorBackground", F::Color},
    {L"backgroundDateTimeDib", F::Image},
    {L"dropdown.template", F::SubTemplate},
    {L"spin.template", F::SubTemplate},
    {L"nonclientedge", F::Integer},
};

constexpr K kColorTable[] = {
    {L"flags", F::FlagWord},
    {L"backgroundFarbTafelDib", F::Image},
};

constexpr K kKnob[] = {
    {L"backgroundKnobDib", F::Image},
    {L"disabledBackgroundKnobDib", F::Image, L"QZK_OPT_DIBDISABLED"},
    {L"flags", F::FlagWord, L"QZK_OPT_INIT"},
    {L"PostionIndicatorDibPlacement", F::Rect, L"QZK_OPT_POSITIONINDICATORDIB"},
    {L"pivotPoint", F::Rect, L"QZK_OPT_PIVOTPOINT"},
    {L"knobDibPlacement", F::Rect, L"QZK_OPT_KNOBDIB"},
    {L"colorPen", F::Color, L"QZK_OPT_KNOBCOLOR"},
    {L"colorDefault", F::Color, L"QZK_OPT_KNOBCOLOR"},
    {L"needleReduction", F::Integer, L"QZK_OPT_NEEDLEREDUCTION"},
    {L"cinemadib.count", F::Integer, L"QZK_OPT_CINEMA"},
    {L"genericKnob", F::ImageGroup, L"QZK_OPT_PREGENERICSTRUCT"},
};

constexpr K kColorWheel[] = {
    {L"flags", F::FlagWord, L"QZCW_OPT_INIT"},
    {L"backgroundColor", F::Color, L"QZCW_OPT_BACKGROUND_COLOR"},
    {L"reticle.placement", F::Rect, L"QZCW_OPT_RETICLE_GRAPHICS"},
    {L"reticle.svg.image", F::Text, L"QZCW_OPT_SVG_RETICLE"},
    {L"reticle.size", F::Integer, L"QZCW_OPT_SVG_RETICLE"},
    {L"lineColor", F::Color, L"QZCW_OPT_LINE_COLOR"},
    {L"reticleOffset", F::Rect, L"QZCW_OPT_RETICLE_OFFSET"},
    {L"lValue", F::Integer, L"QZCW_OPT_SET_L_VALUE"},
};

constexpr K kColorFrame[] = {
    {L"graphicColorFrameDib", F::Image},
    {L"flags", F::FlagWord, L"QZCOLF_OPT_SETFLAGS"},
    {L"placement", F::Rect, L"QZCOLF_OPT_GRAPHIC"},
    {L"graphics.Placement", F::Rect, L"QZCOLF_OPT_GRAPHICS"},
    {L"graphic.Placement", F::Rect, L"QZCOLF_OPT_GRAPHIC"},
    {L"frameColor", F::Color, L"QZCOLF_OPT_FRAMECOLOR"},
    {L"backgroundColor", F::Color, L"QZCOLF_OPT_BKGCOLOR"},
    {L"graphics.Margins", F::Rect, L"QZCOLF_OPT_FRAMEMARGINS"},
    {L"font", F::Font, L"QZCOLF_OPT_SETFONT"},
    {L"captionColor", F::Color, L"QZCOLF_OPT_SETTEXT"},
    {L"textOffset", F::Rect, L"QZCOLF_OPT_TEXTOFFSET"},
    {L"captionHeight", F::Integer, L"QZCOLF_OPT_CAPTIONHEIGHT"},
    {L"textFormat", F::IntegerOrFlags, L"QZCOLF_OPT_DRAWTEXTFORMAT"},
    {L"transparencyColor", F::Color, L"QZCOLF_OPT_TRANSPARENCY"},
};

constexpr K kRichEdit[] = {
    {L"flags", F::FlagWord, L"QZRE_OPT_INIT"},
    {L"backgroundColor", F::Color, L"QZRE_OPT_BACKGROUNDCOLOR"},
    {L"scrollBarH.template", F::SubTemplate, L"QZRE_OPT_QZSCROLLBARH"},
    {L"scrollBarV.template", F::SubTemplate, L"QZRE_OPT_QZSCROLLBARV"},
};

constexpr K kMenu[] = {
    {L"flags", F::FlagWord, L"QZM_OPT_MENUFLAGS"},
    {L"ItemMargins", F::Rect, L"QZM_OPT_ITEMMARGINS"},
    {L"TextHeight", F::Integer, L"QZM_OPT_TEXTHEIGHT"},
    {L"SelTextHeight", F::Integer, L"QZM_OPT_TEXTHEIGHT"},
    {L"TextColor", F::Color, L"QZM_OPT_TEXTCOLOR"},
    {L"SelTextColor", F::Color, L"QZM_OPT_TEXTCOLOR"},
    {L"BkgColor", F::Color, L"QZM_OPT_TEXTCOLOR"},
    {L"SelBkgColor", F::Color, L"QZM_OPT_TEXTCOLOR"},
    {L"HeadColor", F::Color, L"QZM_OPT_HEADLINEITEM"},
    {L"HeadTextColor", F::Color, L"QZM_OPT_HEADLINEITEM"},
    {L"HeadULColor", F::Color, L"QZM_OPT_HEADLINEITEM"},
    {L"DefaultItemColor", F::Color, L"QZM_OPT_DEFAULTITEM"},
    {L"SelDefaultItemColor", F::Color, L"QZM_OPT_DEFAULTITEM"},
    {L"TextColorDisabled", F::Color, L"QZM_OPT_TEXTCOLORDISABLED"},
    {L"fontSelected", F::Font, L"QZM_OPT_TEXTFONT"},
    {L"fontHeadline", F::Font, L"QZM_OPT_HEADLINEITEM"},
    {L"fontDefault", F::Font, L"QZM_OPT_TEXTFONT"},
    {L"pictureAlignment", F::IntegerOrFlags, L"QZM_OPT_PICTUREALIGNMENT"},
};

constexpr K kTreeListView[] = {
    {L"standardQZTLCViewDib", F::Image},
    {L"pressedQZTLCViewDib", F::Image},
    {L"hiliteQZTLCViewDib", F::Image},
    {L"parentButtonsQZTLCViewDib", F::Image},
    {L"headerQZTLCViewDib", F::Image},
    {L"flags", F::FlagWord},
    {L"extendedFlags", F::FlagWord},
    {L"hFaderFlags", F::FlagWord, nullptr, false, kFlagWordAdd | kFlagWordRemove},
    {L"hFaderExFlags", F::FlagWord, nullptr, false, kFlagWordAdd | kFlagWordRemove},
    {L"vFaderExFlags", F::FlagWord, nullptr, false, kFlagWordAdd},
    {L"DynamicHScroll.template", F::SubTemplate},
    {L"DynamicVScroll.template", F::SubTemplate},
};

constexpr K kDialog[] = {
    {L"backgroundDialogDib", F::Image},
    {L"regionDialogDib", F::Image},
    {L"secondBackgroundDialogDib", F::Image},
    {L"thirdBackgroundDialogDib", F::Image},
    {L"flags", F::FlagWord, L"QZBDLG_OPT_INIT"},
    {L"backgroundColor", F::Color, L"QZBDLG_OPT_INIT"},
    {L"background", F::BackgroundOrGeneric, L"QZBDLG_OPT_PREINITGENERIC"},
    {L"generic", F::GenericGroup, L"QZBDLG_OPT_PREGENERICSTRUCT"},
    {L"backgroundplacement", F::Rect, L"QZBDLG_OPT_BACKGROUNDDIB"},
    {L"secondbackgroundplacement", F::Rect, L"QZBDLG_OPT_SECONDBACKGROUNDDIB"},
    {L"thirdbackgroundplacement", F::Rect, L"QZBDLG_OPT_THIRDBACKGROUNDDIB"},
    {L"regionDIB", F::ImageGroup, L"QZBDLG_OPT_REGIONDIB"},
    {L"regionCorners", F::Rect, L"QZBDLG_OPT_REGIONCORNERS"},
    {L"regionPoints", F::Points, L"QZBDLG_OPT_REGIONPOINTS"},
    {L"dialogBorders", F::Rect, L"QZBDLG_OPT_DIALOGBORDER"},
    {L"caption", F::FontGroup, L"QZBDLG_OPT_CAPTIONFONT"},
    {L"captionbar", F::Integer, L"QZBDLG_OPT_CAPTIONBARHEIGHT"},
    {L"darkensurface.targetAlpha", F::Integer, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"darkensurface.blendInDuration", F::Integer, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"darkensurface.blendInDelay", F::Integer, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"darkensurface.blendOutDuration", F::Integer, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"darkensurface.blendOutDelay", F::Integer, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"darkensurface.blendColor", F::Color, L"QZBDLG_OPT_DARKEN_SURFACE"},
    {L"closeButtonTemplate", F::SubTemplate, L"QZBDLG_FLG_CLOSE_BUTTON", true},
};

struct FamilyInfo {
    QzTemplateFamily family;
    const wchar_t* controlClass;
    std::span<const K> keys;
};

constexpr FamilyInfo kFamilies[] = {
    {QzTemplateFamily::Button, L"CQZ_UniButton", kButton},
    {QzTemplateFamily::Static, L"CQZ_Static", kStatic},
    {QzTemplateFamily::ColorFrame, L"CQZ_ColorFrame", kColorFrame},
    {QzTemplateFamily::Edit, L"CQZ_Edit", kEdit},
    {QzTemplateFamily::Fader, L"CQZ_Fader", kFader},
    {QzTemplateFamily::ComboBox, L"CQZ_ComboBox", kComboBox},
    {QzTemplateFamily::ListBox, L"CQZ_ListBox", kListBox},
    {QzTemplateFamily::PeakMeter, L"CQZ_PeakMeterCtrl", kPeakMeter},
    {QzTemplateFamily::ScrollBar, L"CQZ_ScrollBar", kScrollBar},
    {QzTemplateFamily::SpinButton, L"CQZ_SpinButtonCtrl", kSpinButton},
    {QzTemplateFamily::RichEdit, L"CQZ_RichEditCtrlEx", kRichEdit},
    {QzTemplateFamily::Knob, L"CQZ_Knob", kKnob},
    {QzTemplateFamily::ColorTable, L"CQZ_FarbTafelCtrl", kColorTable},
    {QzTemplateFamily::DateTime, L"CQZ_DateTimeCtrl", kDateTime},
    {QzTemplateFamily::ColorWheel, L"CQZ_ColorWheel", kColorWheel},
    {QzTemplateFamily::Menu, L"CQZ_Menu", kMenu},
    {QzTemplateFamily::Dialog, L"CQZ_BeautyDialog", kDialog},
    // The tree/list view is created as a list control by definition files.
    {QzTemplateFamily::TreeListView, L"CQZ_ListCtrl", kTreeListView},
};

} // namespace

QzTemplateFamily QzTemplateFamilyFromClass(std::wstring_view controlClass)
{
    for (const FamilyInfo& info : kFamilies) {
        if (QzEqualsNoCase(controlClass, info.controlClass))
            return info.family;
    }
    return QzTemplateFamily::Unknown;
}

const wchar_t* QzTemplateControlClass(QzTemplateFamily family)
{
    for (const FamilyInfo& info : kFamilies) {
        if (info.family == family)
            return info.controlClass;
    }
    return L"";
}

std::span<const QzTemplateKeySpec> QzTemplateKeys(QzTemplateFamily family)
{
    for (const FamilyInfo& info : kFamilies) {
        if (info.family == family)
            return info.keys;
    }
    return {};
}
