#pragma once
// The seven stand-in pictures of the show: grey line art and lettering on
// black, 512 by 512. The show adds them onto its frame, so black is "no
// picture" and the strokes are bright and anti-aliased.

#include <cstdint>
#include <string>
#include <vector>

constexpr int PictureSide = 512;

// The picture of that file name (one of PictureTextures, assets/scene.h) as PictureSide * PictureSide grey bytes in
// file order. The show maps the file's first line to the bottom of its quad,
// so the first line holds the artwork's bottom row: the artwork is stored
// upside down and reads upright on screen. Empty for an unknown name.
std::vector<std::uint8_t> DrawPicture(const std::string& name);
