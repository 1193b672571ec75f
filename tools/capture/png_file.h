#pragma once
// PNG output through libpng.

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB pixels, top row first, to `path`. On failure returns
// false with the reason in `error` and leaves no file behind.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error);
