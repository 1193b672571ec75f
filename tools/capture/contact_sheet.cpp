#include "tools/capture/contact_sheet.h"

#include <string>

namespace {
constexpr int StillWidth = 800;
constexpr int StillHeight = 600;
constexpr int CellWidth = StillWidth / 2;
constexpr int CellHeight = StillHeight / 2;
constexpr int LabelHeight = 30;
constexpr int GlyphScale = 3;

// 5 by 7 glyphs of the label text, one byte a row, bit 4 leftmost.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
const Glyph LabelGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x15, 0x15}}, {'s', {0x00, 0x00, 0x0F, 0x10, 0x0E, 0x01, 0x1E}},
};

void SetPixel(SheetPicture& sheet, int x, int y, std::uint8_t level)
{
    if (x < 0 || y < 0 || x >= sheet.width || y >= sheet.height)
        return;
    std::uint8_t* pixel = &sheet.rgb[(static_cast<std::size_t>(y) * sheet.width + x) * 3];
    pixel[0] = pixel[1] = pixel[2] = level;
}

void DrawLabel(SheetPicture& sheet, int left, int top, const std::string& text)
{
    int x = left;
    for (const char c : text) {
        for (const Glyph& glyph : LabelGlyphs) {
            if (glyph.c != c)
                continue;
            for (int row = 0; row < 7; ++row)
                for (int column = 0; column < 5; ++column)
                    if (glyph.rows[row] & (0x10 >> column))
                        for (int dy = 0; dy < GlyphScale; ++dy)
                            for (int dx = 0; dx < GlyphScale; ++dx)
                                SetPixel(sheet, x + column * GlyphScale + dx, top + row * GlyphScale + dy, 230);
        }
        x += 6 * GlyphScale;  // a space is simply an empty advance
    }
}
}  // namespace

const std::vector<std::uint32_t>& ContactSheetMoments()
{
    static const std::vector<std::uint32_t> moments{
        240,     // first square pulse, with the readout
        16180,   // first band at mid-window
        42400,   // orbiting square inside band 7
        50000,   // orbiting square fading with band 8
        69900,   // first ring pulse
        72400,   // first stamp, in a ring's colour
        90950,   // flash over a ring
        99625,   // two stamps at once, the second inside the first
        141900,  // orbiting square again, with band 32
        172700,  // first picture zoom
        174700,  // third picture zoom
        179200,  // an additive ring after the zooms
        187400,  // last stamp
        195500,  // closing scene
        199900,  // closing scene with the unblended last band
        205000,  // closing scene, late
    };
    return moments;
}

void StartContactSheet(SheetPicture& sheet, int stillCount, int columns)
{
    const int rows = (stillCount + columns - 1) / columns;
    sheet.width = columns * CellWidth;
    sheet.height = rows * (CellHeight + LabelHeight);
    sheet.rgb.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 3, 0);
}

void AddToContactSheet(SheetPicture& sheet, int index, int columns, const std::vector<std::uint8_t>& still,
                       std::uint32_t ms)
{
    const int left = (index % columns) * CellWidth;
    const int top = (index / columns) * (CellHeight + LabelHeight);
    // Half size, each pixel the mean of a 2 by 2 block.
    for (int y = 0; y < CellHeight; ++y)
        for (int x = 0; x < CellWidth; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += still[((static_cast<std::size_t>(2 * y + dy) * StillWidth) + 2 * x + dx) * 3 + channel];
                sheet.rgb[((static_cast<std::size_t>(top + y) * sheet.width) + left + x) * 3 + channel] =
                    static_cast<std::uint8_t>((sum + 2) / 4);
            }
    DrawLabel(sheet, left + 8, top + CellHeight + (LabelHeight - 7 * GlyphScale) / 2, std::to_string(ms) + " ms");
}
