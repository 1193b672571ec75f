#pragma once
// The video encoder: feeds ffmpeg (ffmpeg_process.h) raw frames on one pipe
// and the soundtrack on another. A thread of its own writes each frame into
// the pipe while the next one renders; the sound has a thread too, so that
// neither pipe holds the other up. ffmpeg writes a hidden file beside the
// output, which takes the output's name only once ffmpeg has finished well.
// All calls come from the main thread.

#include "tools/capture/ffmpeg_process.h"

#include <cstdint>
#include <string>
#include <vector>

// Starts ffmpeg for `path`. `sound` is the whole span's sound, 16-bit stereo
// interleaved at format.soundRate. From here on Ctrl-C, SIGTERM and SIGHUP
// only mark the capture interrupted (see NextFrameBuffer). False with a
// message when the output's folder cannot be written or ffmpeg cannot run.
bool StartVideoEncoder(const std::string& path, const VideoFormat& format, std::vector<std::int16_t> sound,
                       std::string& error);

// The buffer for the next frame: RGBA, bottom row first, width * height * 4
// bytes, as glReadPixels writes it. Waits while every buffer is still on its
// way to ffmpeg. Null once ffmpeg has failed or the capture was interrupted:
// call AbandonVideo then.
std::uint8_t* NextFrameBuffer();
// Sends the buffer of the last NextFrameBuffer to ffmpeg.
void SubmitFrame();

// Ends the streams, waits for ffmpeg and gives the file its name. False with
// ffmpeg's own message when it failed; the partial file is then removed.
bool FinishVideo(std::string& error);

// Stops ffmpeg at once and removes the partial file. Why: ffmpeg's message
// when it failed, "interrupted" after a signal.
void AbandonVideo(std::string& why);

// True once Ctrl-C, SIGTERM or SIGHUP came after StartVideoEncoder.
bool VideoInterrupted();

// Seconds the main thread waited in NextFrameBuffer for the encoder, and
// the processor seconds ffmpeg used (known after FinishVideo).
struct EncoderTimes {
    double waiting = 0;
    double ffmpegCpu = 0;
};
EncoderTimes EncoderTimesSoFar();
