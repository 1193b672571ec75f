#include "tools/capture/video_capture.h"

#include "music/offline_clock.h"
#include "platform/gl_api.h"
#include "tools/capture/progress.h"
#include "tools/capture/show_run.h"
#include "tools/capture/video_encoder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// The first frame whose time is at least ms: ceil(ms * fps / 1000).
std::uint64_t FirstFrameFrom(std::uint32_t ms, int fps) { return (std::uint64_t{ms} * fps + 999) / 1000; }

std::uint64_t SoundSampleOf(std::uint64_t frame, int fps) { return frame * VideoSoundRate / fps; }

// The song's sound for frames [first, end): cut to the span, silence after
// the song's end or when there is no song.
std::vector<std::int16_t> SoundOfFrames(std::uint64_t first, std::uint64_t end, int fps)
{
    const std::vector<std::int16_t> song = RenderOfflineSong(VideoSoundRate);
    const std::size_t from = SoundSampleOf(first, fps) * 2;
    const std::size_t to = SoundSampleOf(end, fps) * 2;
    std::vector<std::int16_t> sound(to - from, 0);
    if (from < song.size())
        std::copy(song.begin() + from, song.begin() + std::min(to, song.size()), sound.begin());
    return sound;
}

double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Failed(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "%sorvane-capture: %s\n", isatty(STDERR_FILENO) ? "\n" : "", message.c_str());
    return exitCode;
}
}  // namespace

PictureArea PictureAreaFor(int width, int height, bool stretch)
{
    return stretch ? PictureArea{0, 0, width, height} : CentredPictureArea(width, height);
}

int CaptureVideo(const VideoRequest& request)
{
    const std::uint32_t length = OfflineShowLength();
    if (request.fromMs >= length)
        return Failed(2, std::to_string(request.fromMs) + " ms is not inside the show, which ends at " +
                             std::to_string(length) + " ms");
    const int fps = request.fps;
    const std::uint64_t first = FirstFrameFrom(request.fromMs, fps);
    const std::uint64_t end = FirstFrameFrom(std::min(request.toMs, length), fps);

    std::string error;
    if (!StartVideoEncoder(request.path, VideoFormat{request.width, request.height, fps, VideoSoundRate},
                           SoundOfFrames(first, end, fps), error))
        return Failed(1, error);

    StartProgress(end - first, fps);
    double rendering = 0, readBack = 0;
    for (std::uint64_t k = first; k < end; ++k) {
        const Clock::time_point start = Clock::now();
        DrawShowFrameAt(FrameTimeOf(k, fps));  // the first one runs the frames before the span too
        glFinish();                            // so that the read-back's time is its own
        const Clock::time_point drawn = Clock::now();
        std::uint8_t* pixels = NextFrameBuffer();
        if (pixels == nullptr) {
            AbandonVideo(error);
            return Failed(VideoInterrupted() ? 130 : 1, error + "; nothing written");
        }
        const Clock::time_point readStart = Clock::now();
        ReadFullFrameRgba(pixels);
        SubmitFrame();
        readBack += std::chrono::duration<double>(Clock::now() - readStart).count();
        rendering += std::chrono::duration<double>(drawn - start).count();
        ShowProgress(k - first + 1);
    }
    if (!FinishVideo(error))
        return Failed(VideoInterrupted() ? 130 : 1, error + "; nothing written");
    EndProgress("wrote " + request.path, end - first);
    if (request.timings) {
        const EncoderTimes encoder = EncoderTimesSoFar();
        std::fprintf(stderr,
                     "orvane-capture: main thread: rendering %.1f s, read-back %.1f s, waiting for the encoder %.1f s; "
                     "processor time: this tool %.1f s, ffmpeg %.1f s\n",
                     rendering, readBack, encoder.waiting, ProcessorSeconds(), encoder.ffmpegCpu);
    }
    return 0;
}
