#pragma once
// Video capture: every frame of a span of the show at a fixed frame rate,
// rendered with the show's own frame code and the offline clock, with the
// soundtrack on the same timeline, encoded to an MP4 by ffmpeg. Frame k is
// the frame the live show draws at k * 1000 / fps ms; it pairs with sound
// sample k * VideoSoundRate / fps.

#include "tools/capture/frame_targets.h"

#include <cstdint>
#include <string>

// The soundtrack's rate in the video: what video sites ask for.
constexpr int VideoSoundRate = 48000;

struct VideoRequest {
    std::string path;
    int width = 800, height = 600;
    int fps = 60;
    std::uint32_t fromMs = 0;
    std::uint32_t toMs = UINT32_MAX;  // cut at the show's end
    bool stretch = false;             // fill the frame as the live show fills its window
    bool timings = false;             // say where the time went
};

// Where the picture sits in a width x height frame: the whole frame when
// stretched, else the largest 4:3 area, centred between black bars.
PictureArea PictureAreaFor(int width, int height, bool stretch);

// Captures the request's span; called after InitScene and StartShowRun,
// with the frame targets at the request's size, before any frame is drawn.
// Returns the exit code: 0, 1 when the video could not be made, 2 when the
// span is not inside the show, 130 when interrupted. Never leaves a partial
// file.
int CaptureVideo(const VideoRequest& request);
