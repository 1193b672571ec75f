#pragma once
// Writer of 8-bit, one-plane, run-length encoded PCX files (version 5) with
// a 256-entry grey palette, so that a pixel's byte is its grey level both
// for ordinary image programs and for the show's reader, which ignores the
// palette and takes each byte as a grey level.

#include <cstdint>
#include <vector>

// grey holds width * height bytes, the file's first line first. width must
// be even (PCX lines are a whole number of 16-bit words); 1..65535.
std::vector<std::uint8_t> WritePcx(const std::vector<std::uint8_t>& grey, int width, int height);
