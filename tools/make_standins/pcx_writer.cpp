#include "tools/make_standins/pcx_writer.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t HeaderBytes = 128;
constexpr int MaxRun = 63;  // the six bits of a run byte

void PutShort(std::vector<std::uint8_t>& out, std::size_t at, int value) {  // little-endian
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Runs stay inside their line, as the format asks; the show's reader would
// not mind either way.
void EncodeLine(std::vector<std::uint8_t>& out, const std::uint8_t* line, int width) {
    int x = 0;
    while (x < width) {
        const std::uint8_t value = line[x];
        int run = 1;
        while (x + run < width && run < MaxRun && line[x + run] == value)
            ++run;
        // A lone byte below 0xC0 stands for itself; anything else must be a
        // run, including a single pixel of 192 or more.
        if (run > 1 || value >= 0xC0)
            out.push_back(static_cast<std::uint8_t>(0xC0 | run));
        out.push_back(value);
        x += run;
    }
}

}  // namespace

std::vector<std::uint8_t> WritePcx(const std::vector<std::uint8_t>& grey, int width, int height) {
    std::vector<std::uint8_t> out(HeaderBytes, 0);
    out[0] = 0x0A;  // manufacturer: ZSoft
    out[1] = 5;     // version 5: 256-colour palette at the end
    out[2] = 1;     // run-length encoding
    out[3] = 8;     // bits per pixel and plane
    PutShort(out, 4, 0);           // window: xmin, ymin, xmax, ymax
    PutShort(out, 6, 0);
    PutShort(out, 8, width - 1);
    PutShort(out, 10, height - 1);
    PutShort(out, 12, 72);         // resolution, dots per inch
    PutShort(out, 14, 72);
    for (int i = 0; i < 16; ++i)   // 16-colour palette, unused at 8 bits: a grey ramp
        out[16 + 3 * i] = out[17 + 3 * i] = out[18 + 3 * i] = static_cast<std::uint8_t>(17 * i);
    out[64] = 0;                   // reserved
    out[65] = 1;                   // one plane
    PutShort(out, 66, width);      // bytes per line
    PutShort(out, 68, 2);          // palette holds grey levels
    PutShort(out, 70, width);      // screen size
    PutShort(out, 72, height);

    for (int y = 0; y < height; ++y)
        EncodeLine(out, grey.data() + static_cast<std::size_t>(y) * width, width);

    out.push_back(0x0C);  // the 256-colour palette follows
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            out.push_back(static_cast<std::uint8_t>(i));
    return out;
}
