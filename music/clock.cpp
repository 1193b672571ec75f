#include "music/clock.h"

#include "music/music.h"

namespace {
// Music times in ms; unsigned so that differences wrap modulo 2^32.
std::uint32_t SceneMark = 0;
std::uint32_t FrameMark = 0;

std::uint32_t MusicTime() { return FMUSIC_GetTime(Song); }
}  // namespace

void StartClock()
{
    std::uint32_t now = MusicTime();
    SceneMark = now;
    FrameMark = now;
}

void MarkFrame() { FrameMark = MusicTime(); }

std::uint32_t SceneTime() { return MusicTime() - SceneMark; }

std::uint32_t FrameTime() { return MusicTime() - FrameMark; }
