// The desktop's sound output: SDL2's audio callback pulls the playing song's
// frames from the core and reports when each block is heard. The core calls
// in from the main thread; the callback runs on SDL's audio thread with the
// device lock held, which is also what the main thread takes to start and
// stop the pull.

#include "music/sound_output.h"

#include "music/heard_clock.h"

#include <SDL.h>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

#include <chrono>
#include <cstring>

namespace {
constexpr int Channels = 2;
// Below PipeWire's own data threads (88) and within RealtimeKit's usual limit.
constexpr int CallbackRealTimePriority = 20;

SDL_AudioDeviceID Device = 0;
bool CallbackNeedsRealTime = false;  // set before the device opens
int SampleRate = SoundRate;
std::int64_t OutputLatency = 0;  // ns from a callback until its block is heard
CallbackFilter CallbackTimes;  // audio thread, and the main thread while the device is closed
// Changed with the device locked.
bool Pulling = false;           // a song plays and has frames left
std::int64_t PulledFrames = 0;  // music frames pulled since it started

// SDL makes the audio threads it starts itself time-critical (nice -20, or
// RealtimeKit's nice level). Its pipewire driver calls back on a thread of
// PipeWire's instead, left at normal priority, and the block it asks for is
// due at the graph's next cycle a few milliseconds later: on a busy machine
// (two cores, a browser and a compiler) that thread, even at nice -20, missed
// it in half the runs and the sink played silence. Real-time scheduling, as
// PipeWire gives its own data threads, where the process may have it (root,
// or a real-time priority limit); else what SDL gives its own threads.
void RaiseCallbackThread()
{
#if defined(__linux__)
    if (CallbackNeedsRealTime) {
        sched_param realTime{};
        realTime.sched_priority = CallbackRealTimePriority;
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime) == 0)
            return;
    }
#endif
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
}

// Runs on SDL's audio thread with the device lock held.
void RenderBlock(void*, Uint8* stream, int length)
{
    static thread_local bool raised = false;
    if (!raised) {
        raised = true;
        RaiseCallbackThread();
    }
    std::size_t wanted = static_cast<std::size_t>(length) / (Channels * sizeof(std::int16_t));
    // Every callback, silent ones too, so that the schedule is known before
    // the song starts.
    std::int64_t calledNs =
        FilterCallbackTime(CallbackTimes, SoundOutputNowNs(), static_cast<std::int64_t>(wanted), SampleRate);
    std::memset(stream, 0, static_cast<std::size_t>(length));
    if (!Pulling)
        return;
    const std::size_t rendered = PullSongFrames(reinterpret_cast<std::int16_t*>(stream), wanted);
    const bool ended = rendered < wanted;
    // This block is heard once what is queued ahead of it has played.
    ReportHeard(PulledFrames, calledNs + OutputLatency, PulledFrames + static_cast<std::int64_t>(rendered), ended);
    PulledFrames += static_cast<std::int64_t>(rendered);
    Pulling = !ended;
}

// The rate the output plays at, where the driver says (PipeWire, PulseAudio,
// WASAPI), else the one asked for. A sound server that resamples a stream to
// its own rate calls back on its own cycle: at 44100 Hz into a 48000-Hz
// PipeWire graph of 1024-frame cycles, every 21.3 ms with one cycle in about
// twelve left out, never once a block. Rendered at the server's rate, each
// block is its cycles' worth and the callbacks come once a block.
int OutputRate(int asked)
{
    SDL_AudioSpec device{};
    if (SDL_GetDefaultAudioInfo(nullptr, &device, 0) == 0 && device.freq >= 8000 && device.freq <= 192000)
        return device.freq;
    return asked;
}

// A block of about 23 ms, in a power of two of frames as sound servers cycle:
// 1024 at 44100 and 48000 Hz.
int BlockFramesAt(int rate)
{
    int frames = 256;
    while (frames * 2 <= rate * 233 / 10000)
        frames *= 2;
    return frames;
}

void ShutDownSdlAudio()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
        SDL_Quit();  // nothing else of SDL is in use: release its globals too
}
}  // namespace

bool OpenSoundOutput(int wantedRate, int& rate)
{
    // The program handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    SDL_AudioSpec wanted{};
    wanted.freq = OutputRate(wantedRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Channels;
    wanted.samples = static_cast<Uint16>(BlockFramesAt(wanted.freq));
    wanted.callback = RenderBlock;
    SDL_AudioSpec obtained{};
    const char* driver = SDL_GetCurrentAudioDriver();
    CallbackNeedsRealTime = driver != nullptr && std::strcmp(driver, "pipewire") == 0;
    // No changes allowed: SDL converts if the device differs, so we always
    // render 16-bit stereo at the asked rate.
    Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (Device == 0) {
        ShutDownSdlAudio();
        return false;
    }
    SampleRate = obtained.freq;
    rate = SampleRate;
    CallbackTimes = CallbackFilter{};
    Pulling = false;
    OutputLatency = OutputLatencyNs(driver, obtained.samples, obtained.freq);
    SDL_PauseAudioDevice(Device, 0);  // runs from now on, silent until a song plays
    return true;
}

void CloseSoundOutput()
{
    SDL_CloseAudioDevice(Device);  // waits for the callback to finish
    Device = 0;
    Pulling = false;
    ShutDownSdlAudio();
}

void StartSoundOutput()
{
    SDL_LockAudioDevice(Device);
    PulledFrames = 0;
    Pulling = true;
    SDL_UnlockAudioDevice(Device);
}

void StopSoundOutput()
{
    SDL_LockAudioDevice(Device);
    Pulling = false;
    SDL_UnlockAudioDevice(Device);
}

void PollSoundOutput() {}

std::int64_t SoundOutputNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool SoundOutputIsOffline() { return false; }
