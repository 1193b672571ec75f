#include "tools/make_standins/pictures.h"

#include "platform/pi.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <sstream>

namespace {

// Ink coverage 0..1 per pixel, row 0 at the top of the artwork.
using Canvas = std::vector<double>;

Canvas BlankCanvas() {
    return Canvas(static_cast<std::size_t>(PictureSide) * PictureSide, 0.0);
}

// Strokes combine by their brightest value, so overlaps never saturate into
// blobs and crossing lines keep their anti-aliased edges.
void Ink(Canvas& c, int x, int y, double value) {
    if (x < 0 || y < 0 || x >= PictureSide || y >= PictureSide || value <= 0)
        return;
    double& pixel = c[static_cast<std::size_t>(y) * PictureSide + x];
    pixel = std::max(pixel, std::min(value, 1.0));
}

// Coverage of a pixel whose centre lies `distance` from the edge-defining
// shape, for a stroke of half-width `half`: a one-pixel linear ramp.
double Coverage(double distance, double half) {
    return std::clamp(half + 0.5 - distance, 0.0, 1.0);
}

// A straight stroke with round ends, `width` pixels thick.
void Segment(Canvas& c, double x0, double y0, double x1, double y1, double width, double level = 1.0) {
    const double half = width / 2;
    const int left = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
    const int right = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
    const int top = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
    const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
    const double dx = x1 - x0, dy = y1 - y0;
    const double lengthSquared = dx * dx + dy * dy;
    for (int y = std::max(top, 0); y <= std::min(bottom, PictureSide - 1); ++y) {
        for (int x = std::max(left, 0); x <= std::min(right, PictureSide - 1); ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            const double along = lengthSquared > 0 ? std::clamp((px * dx + py * dy) / lengthSquared, 0.0, 1.0) : 0.0;
            Ink(c, x, y, level * Coverage(std::hypot(px - along * dx, py - along * dy), half));
        }
    }
}

// A circle outline (width > 0) or a filled disc (width 0).
void Circle(Canvas& c, double cx, double cy, double radius, double width, double level = 1.0) {
    const double reach = radius + width / 2 + 1;
    for (int y = std::max(0, static_cast<int>(cy - reach)); y <= std::min(PictureSide - 1, static_cast<int>(cy + reach)); ++y) {
        for (int x = std::max(0, static_cast<int>(cx - reach)); x <= std::min(PictureSide - 1, static_cast<int>(cx + reach)); ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            Ink(c, x, y, level * (width > 0 ? Coverage(std::fabs(d - radius), width / 2) : Coverage(d, radius - 0.5)));
        }
    }
}

// A closed polygon outline.
void Polygon(Canvas& c, const std::vector<double>& xy, double width, double level = 1.0) {
    const std::size_t n = xy.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        Segment(c, xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1], width, level);
    }
}

// A filled convex polygon, corners in either winding.
void FilledConvex(Canvas& c, const std::vector<double>& xy, double level = 1.0) {
    const std::size_t n = xy.size() / 2;
    double area = 0, left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        area += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
        left = std::min(left, xy[2 * i]);
        right = std::max(right, xy[2 * i]);
        top = std::min(top, xy[2 * i + 1]);
        bottom = std::max(bottom, xy[2 * i + 1]);
    }
    const double winding = area > 0 ? 1 : -1;
    for (int y = std::max(0, static_cast<int>(top) - 1); y <= std::min(PictureSide - 1, static_cast<int>(bottom) + 1); ++y) {
        for (int x = std::max(0, static_cast<int>(left) - 1); x <= std::min(PictureSide - 1, static_cast<int>(right) + 1); ++x) {
            // Signed distance outside the nearest edge; inside is negative.
            double outside = -1e9;
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t j = (i + 1) % n;
                const double ex = xy[2 * j] - xy[2 * i], ey = xy[2 * j + 1] - xy[2 * i + 1];
                const double length = std::hypot(ex, ey);
                if (length == 0)
                    continue;
                const double px = x + 0.5 - xy[2 * i], py = y + 0.5 - xy[2 * i + 1];
                outside = std::max(outside, winding * (ex * py - ey * px) / length * -1);
            }
            Ink(c, x, y, level * Coverage(outside, 0));
        }
    }
}

// The stroke font. Glyphs sit in a box `width` units wide and 6 high, y
// down from the cap line to the baseline. Commands: M x y (pen to), L x y
// (line to), A cx cy rx ry from to (elliptical arc, degrees, y down; joined
// to the pen's point by a line when the pen is down). A zero-length M/L pair
// is a dot.
struct Glyph {
    char letter;
    double width;
    const char* strokes;
};

const Glyph Font[] = {
    {'A', 4, "M0 6 L2 0 L4 6 M0.67 4 L3.33 4"},
    {'B', 4, "M0 3 L0 0 L2.7 0 A2.7 1.5 1.2 1.5 -90 90 L0 3 L0 6 L2.6 6 A2.6 4.5 1.4 1.5 90 -90 L0 3"},
    {'C', 4, "A2.1 3 2.1 3 -45 -315"},
    {'D', 4, "M0 0 L0 6 L1.4 6 A1.4 3 2.6 3 90 -90 L0 0"},
    {'E', 4, "M4 0 L0 0 L0 6 L4 6 M0 3 L3 3"},
    {'F', 4, "M4 0 L0 0 L0 6 M0 3 L3 3"},
    {'G', 4, "A2.1 3 2.1 3 -45 -360 L4.2 6 M4.2 3.3 L2.4 3.3"},
    {'H', 4, "M0 0 L0 6 M4 0 L4 6 M0 3 L4 3"},
    {'I', 0, "M0 0 L0 6"},
    {'J', 4, "M4 0 L4 4.2 A2 4.2 2 1.8 0 180"},
    {'K', 4, "M0 0 L0 6 M4 0 L0 3.8 M1.3 2.9 L4 6"},
    {'L', 3.6, "M0 0 L0 6 L3.6 6"},
    {'M', 5, "M0 6 L0 0 L2.5 4 L5 0 L5 6"},
    {'N', 4, "M0 6 L0 0 L4 6 L4 0"},
    {'O', 4.4, "A2.2 3 2.2 3 0 360"},
    {'P', 4, "M0 6 L0 0 L2.5 0 A2.5 1.6 1.5 1.6 -90 90 L0 3.2"},
    {'Q', 4.4, "A2.2 3 2.2 3 0 360 M2.7 4.3 L4.4 6.3"},
    {'R', 4, "M0 6 L0 0 L2.5 0 A2.5 1.6 1.5 1.6 -90 90 L0 3.2 M2.2 3.2 L4 6"},
    {'S', 4, "A2 1.5 1.9 1.5 -15 -270 A2 4.5 2 1.5 -90 165"},
    {'T', 4, "M0 0 L4 0 M2 0 L2 6"},
    {'U', 4, "M0 0 L0 4 A2 4 2 2 180 0 L4 0"},
    {'V', 4, "M0 0 L2 6 L4 0"},
    {'W', 5.6, "M0 0 L1.3 6 L2.8 1.5 L4.3 6 L5.6 0"},
    {'X', 4, "M0 0 L4 6 M4 0 L0 6"},
    {'Y', 4, "M0 0 L2 3 L4 0 M2 3 L2 6"},
    {'Z', 4, "M0 0 L4 0 L0 6 L4 6"},
    {'0', 4, "A2 3 2 3 0 360"},
    {'1', 2.4, "M0 1.2 L1.4 0 L1.4 6"},
    {'2', 4, "A2 1.8 1.9 1.8 -165 25 L0 6 L4 6"},
    {'3', 4, "A2 1.5 1.9 1.5 -160 90 A2 4.5 2 1.5 -90 160"},
    {'4', 4, "M3 6 L3 0 L0 4.2 L4 4.2"},
    {'5', 4, "M3.8 0 L0.5 0 A2 4.1 2 1.9 -140 150"},
    {'6', 4, "A2.6 4.2 2.6 4.2 -75 -180 M4 4.2 A2 4.2 2 1.8 0 360"},
    {'7', 4, "M0 0 L4 0 L1.4 6"},
    {'8', 4, "A2 1.5 1.7 1.5 0 360 M4 4.5 A2 4.5 2 1.5 0 360"},
    {'9', 4, "A1.4 1.8 2.6 4.2 0 105 M4 1.8 A2 1.8 2 1.8 0 360"},
    {'.', 0, "M0 6 L0 6"},
    {',', 0.6, "M0.6 5.6 L0 7"},
    {':', 0, "M0 2 L0 2 M0 6 L0 6"},
    {'-', 2.4, "M0 3.2 L2.4 3.2"},
    {'/', 3, "M0 6 L3 0"},
    {' ', 2.2, ""},
};

constexpr double LetterGap = 1.7;  // units between glyph boxes, strokes included

const Glyph* FindGlyph(char letter) {
    for (const Glyph& g : Font)
        if (g.letter == letter)
            return &g;
    return nullptr;
}

double TextWidth(const std::string& text) {  // units
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* g = FindGlyph(text[i]);
        width += (g ? g->width : 0) + (i + 1 < text.size() ? LetterGap : 0);
    }
    return width;
}

// Strokes one glyph with its box's top-left corner at (left, top); `unit`
// pixels per font unit, `weight` the stroke width in units.
void DrawGlyph(Canvas& c, const Glyph& g, double left, double top, double unit, double weight) {
    std::istringstream in(g.strokes);
    bool penDown = false;
    double penX = 0, penY = 0;
    const auto lineTo = [&](double x, double y) {
        if (penDown)
            Segment(c, left + penX * unit, top + penY * unit, left + x * unit, top + y * unit, weight * unit);
        penX = x;
        penY = y;
        penDown = true;
    };
    char command;
    while (in >> command) {
        if (command == 'M') {
            in >> penX >> penY;
            penDown = true;
        } else if (command == 'L') {
            double x, y;
            in >> x >> y;
            lineTo(x, y);
        } else if (command == 'A') {
            double cx, cy, rx, ry, from, to;
            in >> cx >> cy >> rx >> ry >> from >> to;
            const int steps = std::max(2, static_cast<int>(std::ceil(std::fabs(to - from) / 6)));
            for (int i = 0; i <= steps; ++i) {
                const double a = (from + (to - from) * i / steps) * Pi / 180;
                const double x = cx + rx * std::cos(a), y = cy + ry * std::sin(a);
                if (i == 0 && !penDown) {
                    penX = x;
                    penY = y;
                    penDown = true;
                } else {
                    lineTo(x, y);
                }
            }
        }
    }
}

// One line of capitals centred on (centreX, middle of the caps): letters
// capHeight pixels tall, or smaller where the line would be wider than
// maxWidth. weight is the stroke width in font units.
void Text(Canvas& c, const std::string& text, double centreX, double centreY, double capHeight, double weight,
          double maxWidth = 448) {
    const double units = TextWidth(text) + weight;  // strokes reach half a weight past each end
    const double unit = std::min(capHeight / 6, maxWidth / units);
    double x = centreX - (units - weight) * unit / 2;
    for (char letter : text) {
        const Glyph* g = FindGlyph(letter);
        if (!g)
            continue;
        DrawGlyph(c, *g, x, centreY - 3 * unit, unit, weight);
        x += (g->width + LetterGap) * unit;
    }
}

// Closing scene, first picture: the show's quad puts its upper half on
// screen clear of the second picture's lettering, so the title sits high.
Canvas DrawCreated() {
    Canvas c = BlankCanvas();
    Text(c, "ORVANE", 256, 140, 84, 1.05);
    Segment(c, 60, 212, 452, 212, 9);
    Text(c, "A REALTIME DEMO", 256, 252, 28, 0.8, 300);
    return c;
}

// Closing scene, second picture: its lower half is the part that shows
// clear of the first, so the lettering sits low.
Canvas DrawSound() {
    Canvas c = BlankCanvas();
    Text(c, "SOUNDTRACK", 256, 318, 54, 1.0, 400);
    Segment(c, 96, 364, 416, 364, 5, 0.8);
    Text(c, "CUD.MOD  4 CHANNELS  125 BPM", 256, 394, 24, 0.85, 400);
    return c;
}

Canvas DrawResp() {  // lettering in a double frame
    Canvas c = BlankCanvas();
    Polygon(c, {40, 150, 472, 150, 472, 362, 40, 362}, 12);
    Polygon(c, {62, 172, 450, 172, 450, 340, 62, 340}, 5, 0.8);
    Text(c, "RESPECT", 256, 256, 76, 1.2, 350);
    return c;
}

Canvas DrawG0() {  // a target: rings and a crosshair
    Canvas c = BlankCanvas();
    for (int i = 0; i < 5; ++i)
        Circle(c, 256, 256, 44 + 48 * i, 14 - i);
    Circle(c, 256, 256, 16, 0);
    for (int side = -1; side <= 1; side += 2) {
        Segment(c, 256 + side * 30, 256, 256 + side * 250, 256, 6, 0.85);
        Segment(c, 256, 256 + side * 30, 256, 256 + side * 250, 6, 0.85);
    }
    return c;
}

Canvas DrawG1() {  // a perspective floor under a striped sun
    Canvas c = BlankCanvas();
    const double horizonY = 236, vanishX = 256;
    for (int i = -9; i <= 9; ++i)
        Segment(c, vanishX + i * 16, horizonY, vanishX + i * 90, 520, 5);
    for (int k = 2; k <= 9; ++k) {  // rows closer together towards the horizon
        const double y = horizonY + 280.0 * k * k / 81.0;
        Segment(c, 0, y, 512, y, 3 + k * 0.5);
    }
    Segment(c, 0, horizonY, 512, horizonY, 7);
    // Sun: a disc above the horizon, cut by black stripes lower down.
    for (int y = 40; y < static_cast<int>(horizonY) - 8; ++y) {
        for (int x = 136; x < 376; ++x) {
            const double d = std::hypot(x + 0.5 - 256, y + 0.5 - 200);
            double value = Coverage(d, 119.5);
            const double band = std::fmod(y - 40.0, 26.0);
            if (y > 130 && band > 26.0 - (y - 110) / 12.0)
                value = 0;
            Ink(c, x, y, value * 0.9);
        }
    }
    return c;
}

Canvas DrawG2() {  // squares turning inward
    Canvas c = BlankCanvas();
    double half = 236;
    for (int i = 0; i < 11; ++i) {
        const double a = i * 9.0 * Pi / 180;
        std::vector<double> xy;
        for (int k = 0; k < 4; ++k) {
            const double corner = a + Pi / 4 + k * Pi / 2;
            xy.push_back(256 + half * std::sqrt(2.0) * std::cos(corner) * 0.999);
            xy.push_back(256 + half * std::sqrt(2.0) * std::sin(corner) * 0.999);
        }
        Polygon(c, xy, std::max(4.0, 12.0 - i * 0.8));
        half *= 0.84;
    }
    return c;
}

Canvas DrawG3() {  // a sun with tapered rays
    Canvas c = BlankCanvas();
    Circle(c, 256, 256, 62, 0);
    Circle(c, 256, 256, 86, 10);
    const int rays = 16;
    for (int i = 0; i < rays; ++i) {
        const double a = (i + 0.5) * 2 * Pi / rays;
        const double inner = 108, outer = i % 2 ? 200 : 246;
        // A ray is a slim trapezoid, wide at the sun and narrow at its tip.
        const double ca = std::cos(a), sa = std::sin(a);
        const double wi = 13, wo = 3;
        FilledConvex(c, {256 + inner * ca - wi * sa, 256 + inner * sa + wi * ca,
                         256 + outer * ca - wo * sa, 256 + outer * sa + wo * ca,
                         256 + outer * ca + wo * sa, 256 + outer * sa - wo * ca,
                         256 + inner * ca + wi * sa, 256 + inner * sa - wi * ca});
    }
    return c;
}

// File order: the first line is the artwork's bottom row.
std::vector<std::uint8_t> ToFileOrder(const Canvas& c) {
    std::vector<std::uint8_t> grey(c.size());
    for (int y = 0; y < PictureSide; ++y)
        for (int x = 0; x < PictureSide; ++x)
            grey[static_cast<std::size_t>(PictureSide - 1 - y) * PictureSide + x] =
                static_cast<std::uint8_t>(std::lround(c[static_cast<std::size_t>(y) * PictureSide + x] * 255));
    return grey;
}

}  // namespace

std::vector<std::uint8_t> DrawPicture(const std::string& name) {
    if (name == "created.pcx") return ToFileOrder(DrawCreated());
    if (name == "sound.pcx") return ToFileOrder(DrawSound());
    if (name == "resp.pcx") return ToFileOrder(DrawResp());
    if (name == "g0.pcx") return ToFileOrder(DrawG0());
    if (name == "g1.pcx") return ToFileOrder(DrawG1());
    if (name == "g2.pcx") return ToFileOrder(DrawG2());
    if (name == "g3.pcx") return ToFileOrder(DrawG3());
    return {};
}
