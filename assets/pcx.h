#pragma once
// Reader of the show's grey pictures: run-length encoded 8-bit PCX files of
// 512 by 512 pixels, each pixel byte taken as a grey level.

#include <cstddef>
#include <cstdint>

constexpr int PcxSide = 512;
constexpr std::size_t PcxImageBytes = 512 * 512 * 4;  // RGBA, row 0 first

// Decodes the run-length pixel bytes that follow the 128-byte header into
// image (PcxImageBytes bytes) as (v, v, v, 255) texels. Reads nothing
// outside [pixels, pixels + size): bytes past the end read as 0, so missing
// pixels are black. Always fills the whole image and never writes past it.
void DecodePcx(const std::uint8_t* pixels, std::size_t size, std::uint8_t* image);

// Decodes the file fileName (relative to the working folder) into image.
// Any failed file operation ends the program with the run-time error report
// (runtime_error.h). Called by InitScene, once per picture.
void LoadPcx(const char* fileName, std::uint8_t* image);
