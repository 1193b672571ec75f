#pragma once
// The show's only clock: music time, read afresh on every call.

#include <cstdint>

// Sets the scene and frame marks to the current music time. Called once,
// as InitScene's last step.
void StartClock();

// Sets the frame mark to the current music time. Called by IdlePacer when it
// posts a frame.
void MarkFrame();

// Milliseconds of music time since StartClock, modulo 2^32. Called by
// DisplayFrame and by every effect.
std::uint32_t SceneTime();

// Milliseconds of music time since the last frame mark, modulo 2^32. Called
// by IdlePacer.
std::uint32_t FrameTime();
