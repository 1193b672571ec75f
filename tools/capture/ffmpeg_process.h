#pragma once
// The ffmpeg program as the video encoder runs it: raw RGBA frames on its
// standard input and the soundtrack (16-bit stereo) on pipe 3, out into an
// MP4 as video sites recommend for uploads, which web browsers play too:
// H.264 High profile, progressive, 4:2:0 in BT.709, two B-frames, a closed
// GOP of half a second; AAC-LC stereo at 384 kb/s; the index at the front.
// Its own messages go to a private log, shown only when it fails. One ffmpeg
// at a time; main thread only.

#include <string>

struct VideoFormat {
    int width, height;  // pixels, both even
    int fps;
    int soundRate;  // frames per second of the soundtrack
};

// Starts ffmpeg writing `outputPath`. In its own process group, so that
// Ctrl-C reaches the tool alone, and killed if the tool dies. On success
// gives the write ends of the frame and sound pipes (close-on-exec); false
// with a message when it cannot be started (ffmpeg missing, say).
bool StartFfmpeg(const VideoFormat& format, const std::string& outputPath, int& videoPipe, int& soundPipe,
                 std::string& error);

// True once ffmpeg has ended, without reaping it. Does not wait.
bool FfmpegEnded();

// Waits for ffmpeg to end; its exit status, or -1 when a signal ended it.
int ReapFfmpeg();

// Ends ffmpeg at once and reaps it; nothing when none runs.
void KillFfmpeg();

// "ffmpeg failed: " and the last lines of ffmpeg's log.
std::string FfmpegMessage();

// Closes ffmpeg's log; its text is gone afterwards.
void CloseFfmpegLog();

// Processor seconds the last ffmpeg used, known once it was reaped.
double FfmpegCpuSeconds();
