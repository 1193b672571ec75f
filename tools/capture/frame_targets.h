#pragma once
// Off-screen framebuffers for rendering the show's frames without a window:
// a full-size one for the frames that are kept and a 1 by 1 one for the
// frames that only have to run (cursors and GL state carry over from frame
// to frame), at next to no cost.

#include "shell/frame.h"  // PictureArea: the picture's place inside the full frame

#include <cstdint>
#include <vector>

// Creates both framebuffers in the current GL context, the full one width x
// height, and clears the full one to black. Called before InitScene, which
// sets the show's clear colour. False when the context has no framebuffer
// objects.
bool CreateFrameTargets(int width, int height);

// Makes the full framebuffer current, with the viewport and the scissor on
// `area`; outside it the frame stays black.
void UseFullFrame(const PictureArea& area);
// Makes the 1 by 1 framebuffer current, with a 1 by 1 viewport.
void UseTinyFrame();

// The full framebuffer as RGB, top row first; `rgb` is resized to fit.
void ReadFullFrame(std::vector<std::uint8_t>& rgb);

// The full framebuffer as GL holds it: RGBA, bottom row first, into
// `pixels` (width * height * 4 bytes). No conversion, so it is the cheapest
// read-back.
void ReadFullFrameRgba(std::uint8_t* pixels);
