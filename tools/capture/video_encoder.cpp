#include "tools/capture/video_encoder.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

volatile sig_atomic_t Interrupted = 0;

VideoFormat Format{};
std::string FinalPath;
std::string PartialPath;  // ffmpeg's output until it has finished well
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

void RemovePartialFile()
{
    if (!PartialPath.empty())
        std::remove(PartialPath.c_str());
    PartialPath.clear();
}

// The hidden file's name: ".NAME.XXXXXX.part" in the output's folder.
std::string PartialTemplate(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".XXXXXX.part";
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

    if (!StartFfmpeg(format, PartialPath, VideoPipe, SoundPipe, error)) {
        CloseFfmpegLog();
        RemovePartialFile();
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
    while (!Interrupted && !FfmpegEnded())
        usleep(20000);
    if (Interrupted) {
        AbandonVideo(error);
        return false;
    }
    bool written = false;
    if (ReapFfmpeg() != 0 || PipeBroken)
        error = FfmpegMessage();
    else if (std::rename(PartialPath.c_str(), FinalPath.c_str()) != 0)
        error = "cannot write " + FinalPath + ": " + std::strerror(errno);
    else
        written = true;
    if (written)
        PartialPath.clear();  // it is the video now
    CloseFfmpegLog();
    RemovePartialFile();
    return written;
}

void AbandonVideo(std::string& why)
{
    const bool byUser = Interrupted;
    KillFfmpeg();  // unblocks the writers: their pipes break
    StopWriters();
    why = byUser ? "interrupted" : FfmpegMessage();
    CloseFfmpegLog();
    RemovePartialFile();
}

bool VideoInterrupted() { return Interrupted != 0; }

EncoderTimes EncoderTimesSoFar()
{
    EncoderTimes times = Times;
    times.ffmpegCpu = FfmpegCpuSeconds();
    return times;
}
