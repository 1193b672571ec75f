// The desktop's sound output: SDL2's audio callback pulls the playing song's
// frames from the core and reports when each block is heard. The core calls
// in from the main thread; the callback runs on SDL's audio thread with the
// device lock held, which is also what the main thread takes to start and
// stop the pull.

#include "music/sound_output.h"

#include "music/heard_clock.h"

#include <SDL.h>

#include <chrono>
#include <cstring>

namespace {
constexpr int DeviceBufferFrames = 1024;  // about 23 ms at 44100 Hz
constexpr int Channels = 2;

SDL_AudioDeviceID Device = 0;
int SampleRate = SoundRate;
std::int64_t OutputLatencyNs = 0;
CallbackFilter CallbackTimes;  // audio thread, and the main thread while the device is closed
// Changed with the device locked.
bool Pulling = false;           // a song plays and has frames left
std::int64_t PulledFrames = 0;  // music frames pulled since it started

// Runs on SDL's audio thread with the device lock held.
void RenderBlock(void*, Uint8* stream, int length)
{
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
    ReportHeard(PulledFrames, calledNs + OutputLatencyNs, PulledFrames + static_cast<std::int64_t>(rendered), ended);
    PulledFrames += static_cast<std::int64_t>(rendered);
    Pulling = !ended;
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
    wanted.freq = wantedRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Channels;
    wanted.samples = DeviceBufferFrames;
    wanted.callback = RenderBlock;
    SDL_AudioSpec obtained{};
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
    OutputLatencyNs = static_cast<std::int64_t>(obtained.samples) * 1000000000 / obtained.freq;
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
