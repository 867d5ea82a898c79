#pragma once

#include <QRect>
#include <QRgb>

#include <array>

namespace hideaway {

/// The windows are designed in twips; 15 twips make one logical pixel, and Qt scales logical
/// pixels on high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

/// Where one slot row's three lines lie (twips from the client area's top) and its colours.
struct RowLayout {
    int nameTop;
    int fillTop;
    int buttonTop;
    QRgb nameBack;
    QRgb labelBack;
    QRgb labelText;
};

/// Row n is index n - 1. The rows are not evenly spaced: from row 2 on, the fill and button
/// lines sit 120 twips lower than a steady pitch would put them.
inline constexpr std::array<RowLayout, 5> kRowLayout = {{
    {1200, 1560, 1920, 0xFFC0FF, 0xC0FFC0, 0x0000FF},
    {2280, 2760, 3120, 0xFF80FF, 0x80FF80, 0x0000FF},
    {3480, 3840, 4200, 0xFF00FF, 0x00FF00, 0x0000FF},
    {4560, 4920, 5280, 0xFF80FF, 0x00C000, 0xC0FFFF},
    {5640, 6000, 6360, 0xFFC0FF, 0x008000, 0xC0FFFF},
}};

/// Left edge and size (twips) of each control kind in a row; the top comes from its line.
struct RowColumn {
    int left;
    int width;
    int height;
};

inline constexpr RowColumn kNameBoxColumn{240, 3135, 285};
inline constexpr RowColumn kSlotLabelColumn{3480, 855, 255};
inline constexpr RowColumn kBarColumn{240, 2175, 255};
inline constexpr RowColumn kBytesBoxColumn{2520, 855, 285};
inline constexpr RowColumn kButtonDownColumn{240, 975, 255};
inline constexpr RowColumn kButtonUpColumn{1320, 975, 255};
inline constexpr RowColumn kButtonClearColumn{2400, 975, 255};

constexpr QRect rowRect(const RowColumn& column, int top) {
    return twipsRect(column.left, top, column.width, column.height);
}

/// The main window's client area (7425 x 6735 twips).
inline constexpr QSize kFormMainSize{495, 449};

}  // namespace hideaway
