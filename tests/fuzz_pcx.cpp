// libFuzzer target for the picture decoder. Besides the sanitizers' checks it
// asserts that every texel comes out as (v, v, v, 255). The file reader has a
// target of its own (fuzz_pcx_file.cpp): a file round trip per input would
// cost more than the decoding.

#include "assets/pcx.h"

#include <cstdint>
#include <cstring>

namespace {
std::uint8_t Image[PcxImageBytes];
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DecodePcx(data, size, Image);
    // Two texels a load (bytes r g b a, little-endian): alpha all ones, and
    // each channel equal to the next but alpha.
    for (std::size_t i = 0; i < PcxImageBytes; i += 8) {
        std::uint64_t pair;
        std::memcpy(&pair, Image + i, 8);
        if ((pair & 0xFF000000FF000000u) != 0xFF000000FF000000u || ((pair ^ pair >> 8) & 0x0000FFFF0000FFFFu) != 0)
            __builtin_trap();
    }
    return 0;
}
