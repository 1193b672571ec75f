#pragma once
// The capture's progress on standard error: on a terminal a bar redrawn in
// place (frames done of the total, frames per second, the multiple of real
// time, time left); elsewhere nothing until one closing line. Main thread.

#include <cstdint>
#include <string>

// Starts the clock for `total` frames at `fps` frames per second of video.
void StartProgress(std::uint64_t total, int fps);

// `done` frames are encoded or queued; redraws at most a few times a second.
void ShowProgress(std::uint64_t done);

// Replaces the bar with one line: `what` (for example "wrote show.mp4"),
// the frames, their length, the time taken and the speed. Seconds since
// StartProgress are returned.
double EndProgress(const std::string& what, std::uint64_t done);
