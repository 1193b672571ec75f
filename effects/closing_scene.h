#pragma once
// From 194960 to 207260 ms: a bobbing, turning sphere on the right, black
// with a white outline of its front faces, under two large pictures added
// onto the frame.

#include <cstdint>

// Music ms, both inclusive. The stand-in soundtrack puts a hit on the start.
constexpr std::uint32_t ClosingSceneStart = 194960;
constexpr std::uint32_t ClosingSceneEnd = 207260;

// Called by DisplayFrame once per frame, last among the effects. Through
// DrawSprite it leaves blending switched off, so from its second frame on
// every effect draws unblended and the sphere is opaque.
void DrawClosingScene();

// Draws a textured 2 by 2 quad translated by (x, y, z) within the current
// matrix, added onto the frame with weight alpha; restores the matrix and
// switches blending and texturing off. Called only by DrawClosingScene.
void DrawSprite(std::uint32_t texture, float x, float y, float z, float alpha);
