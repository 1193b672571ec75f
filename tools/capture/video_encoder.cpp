#include "tools/capture/video_encoder.h"

#include "music/offline_clock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {
// Three buffers: one filling, one in the pipe, one spare for a frame that
// renders faster than the last one encodes.
constexpr int FrameBuffers = 3;
constexpr int SoundFd = 3;  // the sound pipe's number inside ffmpeg

// x264 "veryfast" at quality 18: well over real time at 800 by 600 on two
// cores, and thin one-pixel outlines and the pictures' text stay crisp.
const char* const VideoPreset = "veryfast";
const char* const VideoQuality = "18";

volatile sig_atomic_t Interrupted = 0;

VideoFormat Format{};
std::string FinalPath;
std::string PartialPath;
pid_t Ffmpeg = 0;
std::FILE* FfmpegErrors = nullptr;  // ffmpeg's stderr, read back when it fails
int VideoPipe = -1;
int SoundPipe = -1;
std::vector<std::int16_t> Sound;

std::mutex Lock;
std::condition_variable Changed;
std::vector<std::uint8_t> Buffers[FrameBuffers];
std::vector<int> FreeBuffers;  // guarded by Lock
std::deque<int> QueuedBuffers;  // guarded by Lock
bool Closing = false;           // guarded by Lock
bool PipeBroken = false;        // guarded by Lock
int Filling = -1;               // main thread only
std::thread FrameWriter;
std::thread SoundWriter;
EncoderTimes Times;

void MarkInterrupted(int) { Interrupted = 1; }

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes all of `parts`, however the pipe takes them. False on a closed pipe.
bool WriteAll(int fd, std::vector<iovec>& parts)
{
    std::size_t first = 0;
    while (first < parts.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(parts.size() - first, IOV_MAX));
        const ssize_t written = writev(fd, &parts[first], count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        auto left = static_cast<std::size_t>(written);
        while (first < parts.size() && left >= parts[first].iov_len)
            left -= parts[first++].iov_len;
        if (left > 0) {
            parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return true;
}

// Runs on its own thread: sends every queued frame, top row first, so that
// GL's bottom-up rows need no copy to stand the right way up.
void WriteFrames()
{
    const std::size_t row = static_cast<std::size_t>(Format.width) * 4;
    std::vector<iovec> rows(static_cast<std::size_t>(Format.height));
    for (;;) {
        int buffer = -1;
        bool broken = false;
        {
            std::unique_lock<std::mutex> guard(Lock);
            Changed.wait(guard, [] { return !QueuedBuffers.empty() || Closing; });
            if (QueuedBuffers.empty())
                break;
            buffer = QueuedBuffers.front();
            broken = PipeBroken;
        }
        if (!broken) {
            for (int y = 0; y < Format.height; ++y)
                rows[y] = iovec{&Buffers[buffer][(Format.height - 1 - y) * row], row};
            broken = !WriteAll(VideoPipe, rows);
        }
        {
            std::lock_guard<std::mutex> guard(Lock);
            QueuedBuffers.pop_front();
            FreeBuffers.push_back(buffer);
            PipeBroken = PipeBroken || broken;
        }
        Changed.notify_all();
    }
    close(VideoPipe);
    VideoPipe = -1;
}

void WriteSound()
{
    std::vector<iovec> all{iovec{Sound.data(), Sound.size() * sizeof(std::int16_t)}};
    if (!Sound.empty() && !WriteAll(SoundPipe, all)) {
        std::lock_guard<std::mutex> guard(Lock);
        PipeBroken = true;
    }
    Changed.notify_all();
    close(SoundPipe);
    SoundPipe = -1;
}

std::vector<std::string> FfmpegArguments()
{
    const std::string size = std::to_string(Format.width) + "x" + std::to_string(Format.height);
    return {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
            // Raw frames as GL reads them; the sound as the module renders.
            "-f", "rawvideo", "-pixel_format", "rgba", "-video_size", size, "-framerate",
            std::to_string(Format.fps), "-thread_queue_size", "8", "-i", "pipe:0",
            "-f", "s16le", "-ar", std::to_string(OfflineSoundRate), "-ac", "2", "-thread_queue_size", "64", "-i",
            "pipe:" + std::to_string(SoundFd),
            "-map", "0:v", "-map", "1:a",
            "-c:v", "libx264", "-preset", VideoPreset, "-crf", VideoQuality, "-pix_fmt", "yuv420p",
            "-c:a", "aac", "-b:a", "192k",
            // The index first, so that browsers play while the file loads.
            "-movflags", "+faststart", "-f", "mp4", PartialPath};
}

// The last lines ffmpeg wrote on its stderr.
std::string FfmpegMessage()
{
    std::string text;
    if (FfmpegErrors != nullptr) {
        std::rewind(FfmpegErrors);
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, FfmpegErrors)) > 0)
            text.append(chunk, got);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.size() > 2000)
        text = "..." + text.substr(text.size() - 2000);
    return text.empty() ? "ffmpeg failed" : "ffmpeg failed: " + text;
}

// Waits for ffmpeg; its exit status, or -1 when a signal ended it.
int ReapFfmpeg()
{
    int status = 0;
    rusage usage{};
    while (wait4(Ffmpeg, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Ffmpeg = 0;
    Times.ffmpegCpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void StopWriters()
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Closing = true;
    }
    Changed.notify_all();
    if (FrameWriter.joinable())
        FrameWriter.join();
    if (SoundWriter.joinable())
        SoundWriter.join();
}

void ForgetPartialFile()
{
    if (!PartialPath.empty())
        std::remove(PartialPath.c_str());
    PartialPath.clear();
    if (FfmpegErrors != nullptr)
        std::fclose(FfmpegErrors);
    FfmpegErrors = nullptr;
}

// The hidden file's name: ".NAME.XXXXXX.part" in the output's folder.
std::string PartialTemplate(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".XXXXXX.part";
}

bool StartFfmpeg(std::string& error)
{
    const std::vector<std::string> arguments = FfmpegArguments();
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
    FfmpegErrors = std::tmpfile();
    const int errorsFd = FfmpegErrors != nullptr ? fileno(FfmpegErrors) : STDERR_FILENO;
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
        dup2(errorsFd, STDERR_FILENO);
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
    VideoPipe = video[1];
    SoundPipe = sound[1];

    int why = 0;
    ssize_t got;
    while ((got = read(execFailed[0], &why, sizeof why)) < 0 && errno == EINTR) {
    }
    close(execFailed[0]);
    if (got > 0) {
        close(VideoPipe);
        close(SoundPipe);
        VideoPipe = SoundPipe = -1;
        ReapFfmpeg();
        error = std::string("cannot run ffmpeg: ") + std::strerror(why) +
                (why == ENOENT ? " (install Debian's ffmpeg package)" : "");
        return false;
    }
    return true;
}
}  // namespace

bool StartVideoEncoder(const std::string& path, const VideoFormat& format, std::vector<std::int16_t> sound,
                       std::string& error)
{
    Format = format;
    FinalPath = path;
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    std::string partial = PartialTemplate(path);
    const int fd = mkstemps(partial.data(), 5);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // mkstemps makes the file private; the video gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    PartialPath = partial;

    struct sigaction mark {};
    mark.sa_handler = MarkInterrupted;
    sigemptyset(&mark.sa_mask);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        sigaction(stop, nullptr, &before);
        if (before.sa_handler != SIG_IGN)  // as nohup and background jobs asked
            sigaction(stop, &mark, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as EPIPE from write

    if (!StartFfmpeg(error)) {
        ForgetPartialFile();
        return false;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(format.width) * format.height * 4;
    for (int i = 0; i < FrameBuffers; ++i) {
        Buffers[i].assign(frameBytes, 0);
        FreeBuffers.push_back(i);
    }
    Sound = std::move(sound);
    FrameWriter = std::thread(WriteFrames);
    SoundWriter = std::thread(WriteSound);
    return true;
}

std::uint8_t* NextFrameBuffer()
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> guard(Lock);
    // Woken by the writers; a signal only sets a flag, hence the timeout.
    while (FreeBuffers.empty() && !PipeBroken && !Interrupted)
        Changed.wait_for(guard, std::chrono::milliseconds(50));
    Times.waiting += SecondsSince(start);
    if (PipeBroken || Interrupted)
        return nullptr;
    Filling = FreeBuffers.back();
    FreeBuffers.pop_back();
    return Buffers[Filling].data();
}

void SubmitFrame()
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        QueuedBuffers.push_back(Filling);
    }
    Filling = -1;
    Changed.notify_all();
}

bool FinishVideo(std::string& error)
{
    StopWriters();
    // ffmpeg finishes the file after the last frame: a signal meanwhile
    // still abandons it.
    while (!Interrupted) {
        siginfo_t info{};
        const int done = waitid(P_PID, static_cast<id_t>(Ffmpeg), &info, WEXITED | WNOHANG | WNOWAIT);
        if ((done == 0 && info.si_pid == Ffmpeg) || (done < 0 && errno != EINTR))
            break;
        usleep(20000);
    }
    if (Interrupted) {
        AbandonVideo(error);
        return false;
    }
    const bool ok = ReapFfmpeg() == 0 && !PipeBroken;
    if (!ok) {
        error = FfmpegMessage();
        ForgetPartialFile();
        return false;
    }
    if (std::rename(PartialPath.c_str(), FinalPath.c_str()) != 0) {
        error = "cannot write " + FinalPath + ": " + std::strerror(errno);
        ForgetPartialFile();
        return false;
    }
    PartialPath.clear();
    ForgetPartialFile();
    return true;
}

void AbandonVideo(std::string& why)
{
    const bool byUser = Interrupted;
    if (Ffmpeg > 0) {
        kill(Ffmpeg, SIGKILL);  // unblocks the writers: their pipes break
        StopWriters();
        ReapFfmpeg();
    }
    why = byUser ? "interrupted" : FfmpegMessage();
    ForgetPartialFile();
}

bool VideoInterrupted() { return Interrupted != 0; }

EncoderTimes EncoderTimesSoFar() { return Times; }
