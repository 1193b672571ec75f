#include "tools/capture/ffmpeg_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr int SoundFd = 3;  // the sound pipe's number inside ffmpeg

// x264 "veryfast" at quality 18: well over real time at 800 by 600 on two
// cores, and thin one-pixel outlines and the pictures' text stay crisp.
const char* const VideoPreset = "veryfast";
const char* const VideoQuality = "18";

pid_t Ffmpeg = 0;
std::FILE* FfmpegLog = nullptr;  // ffmpeg's stderr, read back when it fails
double CpuSeconds = 0;

std::vector<std::string> FfmpegArguments(const VideoFormat& format, const std::string& outputPath)
{
    const std::string size = std::to_string(format.width) + "x" + std::to_string(format.height);
    // A key frame every half second, never more often (no extra ones at
    // scene cuts), each GOP closed: what video sites ask of an upload.
    const std::string gop = std::to_string(std::max(1, format.fps / 2));
    return {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
            // Raw frames as GL reads them; the sound as the module renders.
            "-f", "rawvideo", "-pixel_format", "rgba", "-video_size", size, "-framerate",
            std::to_string(format.fps), "-thread_queue_size", "8", "-i", "pipe:0",
            "-f", "s16le", "-ar", std::to_string(format.soundRate), "-ac", "2", "-thread_queue_size", "64", "-i",
            "pipe:" + std::to_string(SoundFd),
            "-map", "0:v", "-map", "1:a",
            // BT.709, converted and labelled: players take an unlabelled HD
            // video for BT.709, and ffmpeg would convert with BT.601's matrix.
            "-vf", "scale=out_color_matrix=bt709:out_range=tv",
            "-c:v", "libx264", "-preset", VideoPreset, "-crf", VideoQuality, "-profile:v", "high",
            "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
            "-color_range", "tv", "-bf", "2", "-g", gop, "-keyint_min", gop, "-sc_threshold", "0",
            "-flags", "+cgop",
            "-c:a", "aac", "-profile:a", "aac_low", "-b:a", "384k", "-ar", std::to_string(format.soundRate), "-ac", "2",
            // The index first, so that browsers play while the file loads.
            "-movflags", "+faststart", "-f", "mp4", outputPath};
}
}  // namespace

bool StartFfmpeg(const VideoFormat& format, const std::string& outputPath, int& videoPipe, int& soundPipe,
                 std::string& error)
{
    const std::vector<std::string> arguments = FfmpegArguments(format, outputPath);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int video[2], sound[2], execFailed[2];
    if (pipe2(video, O_CLOEXEC) != 0 || pipe2(sound, O_CLOEXEC) != 0 || pipe2(execFailed, O_CLOEXEC) != 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    fcntl(video[1], F_SETPIPE_SZ, 1 << 20);  // fewer, larger writes; a smaller pipe works too
    FfmpegLog = std::tmpfile();
    const int logFd = FfmpegLog != nullptr ? fileno(FfmpegLog) : STDERR_FILENO;
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);

    const pid_t child = fork();
    if (child < 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls here: the parent has other threads.
        setpgid(0, 0);                     // Ctrl-C reaches the tool alone, which then stops ffmpeg
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // and ffmpeg never outlives the tool
        dup2(video[0], STDIN_FILENO);
        if (sound[0] == SoundFd)
            fcntl(SoundFd, F_SETFD, 0);
        else
            dup2(sound[0], SoundFd);
        if (quiet >= 0)
            dup2(quiet, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        execvp("ffmpeg", argv.data());
        const int why = errno;
        (void)!write(execFailed[1], &why, sizeof why);
        _exit(127);
    }
    Ffmpeg = child;
    close(video[0]);
    close(sound[0]);
    close(execFailed[1]);
    if (quiet >= 0)
        close(quiet);

    int why = 0;
    ssize_t got;
    while ((got = read(execFailed[0], &why, sizeof why)) < 0 && errno == EINTR) {
    }
    close(execFailed[0]);
    if (got > 0) {
        close(video[1]);
        close(sound[1]);
        ReapFfmpeg();
        error = std::string("cannot run ffmpeg: ") + std::strerror(why) +
                (why == ENOENT ? " (install Debian's ffmpeg package)" : "");
        return false;
    }
    videoPipe = video[1];
    soundPipe = sound[1];
    return true;
}

bool FfmpegEnded()
{
    if (Ffmpeg <= 0)
        return true;
    siginfo_t info{};
    const int done = waitid(P_PID, static_cast<id_t>(Ffmpeg), &info, WEXITED | WNOHANG | WNOWAIT);
    return (done == 0 && info.si_pid == Ffmpeg) || (done < 0 && errno != EINTR);
}

int ReapFfmpeg()
{
    int status = 0;
    rusage usage{};
    while (wait4(Ffmpeg, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Ffmpeg = 0;
    CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void KillFfmpeg()
{
    if (Ffmpeg <= 0)
        return;
    kill(Ffmpeg, SIGKILL);
    ReapFfmpeg();
}

std::string FfmpegMessage()
{
    std::string text;
    if (FfmpegLog != nullptr) {
        std::rewind(FfmpegLog);
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, FfmpegLog)) > 0)
            text.append(chunk, got);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.size() > 2000)
        text = "..." + text.substr(text.size() - 2000);
    return text.empty() ? "ffmpeg failed" : "ffmpeg failed: " + text;
}

void CloseFfmpegLog()
{
    if (FfmpegLog != nullptr)
        std::fclose(FfmpegLog);
    FfmpegLog = nullptr;
}

double FfmpegCpuSeconds() { return CpuSeconds; }
