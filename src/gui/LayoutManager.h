// Keeps a skinned dialog's controls in place when the dialog changes size.
// The rules come from the ALIGNMENT sections of a definition file; each rule
// ties the four edges of one control to a reference: another control or the
// dialog's client area.
//
// A rule is written as eleven comma-separated fields:
//
//   control, reference, left, top, right, bottom, sizing, a, b, c, d
//
// `reference` empty, or equal to the dialog's name, is the dialog's client
// area. The four edge fields say what the control's edge follows:
//
//   left / right edge:  QZGUI_LEFT          the reference's left edge
//                       QZGUI_RIGHT         the reference's right edge
//                       QZGUI_PERCENT_WIDTH a share of the reference's width
//   top / bottom edge:  QZGUI_TOP, QZGUI_BOTTOM, QZGUI_PERCENT_HEIGHT alike
//   0 (QZGUI_NONE)      the edge stays where it is
//
// The integers a, b, c, d belong to the left, top, right and bottom edges.
// For an edge that follows a reference edge they are margins in pixels (in
// 96-DPI units when the dialog adapts to DPI): the left and top edges lie a
// and b pixels after (right of, below) the reference edge, the right and
// bottom edges c and d pixels before it. So "QZGUI_RIGHT ... c = 10" keeps a
// control's right edge 10 pixels inside the dialog's right edge, and a left
// edge with QZGUI_RIGHT and a = 8 puts the control 8 pixels right of its
// reference control. For a PERCENT edge the integer is a percentage of the
// reference's extent, counted from its left (top) edge, and is not scaled.
//
// The sizing field:
//   QZGUI_SIZEX / QZGUI_SIZEY   keep the width / height: the edge without a
//                               rule follows the one with a rule (with rules
//                               on both edges the left / top one wins)
//   QZGUI_CENTERX / QZGUI_CENTERY  centre the control in the reference with
//                               its size kept, moved by a - c (b - d); the
//                               edge rules of that axis are then ignored
//   QZGUI_CENTER                both
//
// Rules are applied in file order, each on the geometry the earlier ones
// left, so a rule may refer to a control that an earlier rule placed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/WinUser.h"

/// One alignment rule (see the file comment for its geometry).
struct QzLayoutRule {
    std::wstring control;
    std::wstring reference;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t right = 0;
    std::uint32_t bottom = 0;
    std::uint32_t sizing = 0;
    /// Margins or percentages of the left, top, right and bottom edges, as
    /// the file gives them.
    int values[4] = {};
};

class CQZLayoutManager {
  public:
    // The QZGUI_ constants, as the constant table holds them.
    static constexpr std::uint32_t QZGUI_NONE = 0;
    static constexpr std::uint32_t QZGUI_LEFT = 1;
    static constexpr std::uint32_t QZGUI_RIGHT = 2;
    static constexpr std::uint32_t QZGUI_TOP = 4;
    static constexpr std::uint32_t QZGUI_BOTTOM = 8;
    static constexpr std::uint32_t QZGUI_PERCENT_WIDTH = 16;
    static constexpr std::uint32_t QZGUI_PERCENT_HEIGHT = 32;
    static constexpr std::uint32_t QZGUI_SIZEX = 128;
    static constexpr std::uint32_t QZGUI_SIZEY = 256;
    static constexpr std::uint32_t QZGUI_CENTERX = 512;
    static constexpr std::uint32_t QZGUI_CENTERY = 1024;
    static constexpr std::uint32_t QZGUI_CENTER = 1536;

    /// Reads one entry value of an ALIGNMENT section (blanks and tabs are
    /// ignored). False, and `rule` unusable, when a field is missing or a
    /// flag field holds a value its edge cannot take.
    static bool ParseRule(const std::wstring& value, QzLayoutRule& rule);

    /// Where `rule` puts a control now at `control` when its reference is at
    /// `reference` (both in the dialog's client coordinates); margins are
    /// multiplied by dpiX / 96 and dpiY / 96.
    static qz::platform::RECT Place(const qz::platform::RECT& control, const qz::platform::RECT& reference,
                                    const QzLayoutRule& rule, int dpiX = 96, int dpiY = 96);

    /// Appends a rule; rules are applied in the order they were added.
    void AddRule(QzLayoutRule rule);
    const std::vector<QzLayoutRule>& GetRules() const { return rules_; }
    void Clear() { rules_.clear(); }

    /// Margins are scaled by these (96: unscaled).
    void SetDpi(int dpiX, int dpiY);

    /// Finds the window of a control name; null when the dialog has none.
    using Resolver = std::function<qz::platform::HWND(const std::wstring& name)>;
    /// Moves and sizes the controls of `dialog` by the rules. Rules whose
    /// control or reference cannot be found are skipped. Returns the number
    /// of controls moved.
    int Apply(qz::platform::HWND dialog, const std::wstring& dialogName, const Resolver& resolve) const;

  private:
    std::vector<QzLayoutRule> rules_;
    int dpiX_ = 96;
    int dpiY_ = 96;
};
