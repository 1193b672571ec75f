// The live sound library: libopenmpt renders the module inside SDL2's audio
// callback; the heard clock turns what was rendered into what is heard.

#include "music/sound_library.h"

#include "music/heard_clock.h"
#include "music/sound_library_common.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>
#include <streambuf>
#include <vector>

namespace {
constexpr int Channels = 2;
// Below PipeWire's own data threads (88) and within RealtimeKit's usual limit.
constexpr int CallbackRealTimePriority = 20;

// Swallows libopenmpt's log, which would otherwise go to std::clog. Keeps no
// state, so the audio thread and the main thread may both write to it.
class DiscardBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct LoadedSong {
    DiscardBuffer LogBuffer;
    std::ostream Log{&LogBuffer};
    std::unique_ptr<openmpt::module> Module;
    // Owned by the audio thread while the song is playing; the main thread
    // touches them only with the audio device locked.
    std::int64_t RenderedFrames = 0;
    bool DecoderDone = false;
    HeardClock Clock;
};

SDL_AudioDeviceID Device = 0;
bool CallbackNeedsRealTime = false;  // set before the device opens
int SampleRate = 44100;
std::int64_t OutputLatency = 0;  // ns from a callback until its block is heard
int LastError = SoundErrorNone;
std::vector<std::unique_ptr<LoadedSong>> Songs;  // main thread only
LoadedSong* Playing = nullptr;                   // changed only with the device locked
SilentClock NoSongClock;
CallbackFilter CallbackTimes;  // audio thread, and the main thread while the device is closed

std::int64_t HostNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LoadedSong* FindSong(SongHandle song)
{
    for (const std::unique_ptr<LoadedSong>& loaded : Songs)
        if (reinterpret_cast<SongHandle>(loaded.get()) == song)
            return loaded.get();
    return nullptr;
}

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
        FilterCallbackTime(CallbackTimes, HostNowNs(), static_cast<std::int64_t>(wanted), SampleRate);
    std::memset(stream, 0, static_cast<std::size_t>(length));
    LoadedSong* song = Playing;
    if (song == nullptr || song->DecoderDone)
        return;
    std::size_t rendered = 0;
    try {
        rendered = song->Module->read_interleaved_stereo(SampleRate, wanted, reinterpret_cast<std::int16_t*>(stream));
    } catch (...) {
        rendered = 0;  // a decoder that fails has nothing more to give: the song ends here
    }
    bool ended = rendered < wanted;
    // This block is heard once what is queued ahead of it has played.
    PublishHeardAnchor(song->Clock, song->RenderedFrames, static_cast<std::int64_t>(rendered),
                       calledNs + OutputLatency, ended);
    song->RenderedFrames += static_cast<std::int64_t>(rendered);
    song->DecoderDone = ended;
}

void StopAndForget(LoadedSong* song)
{
    // Playing is only set while the device is open; take the song away from
    // the callback before it is destroyed.
    if (Playing == song) {
        SDL_LockAudioDevice(Device);
        Playing = nullptr;
        SDL_UnlockAudioDevice(Device);
    }
    Songs.erase(std::remove_if(Songs.begin(), Songs.end(),
                               [song](const std::unique_ptr<LoadedSong>& loaded) { return loaded.get() == song; }),
                Songs.end());
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

signed char FSOUND_Init(int mixRate, int, unsigned int)
{
    if (Device != 0) {
        LastError = SoundErrorAlreadyOpen;
        return 0;
    }
    // The program handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        LastError = SoundErrorInit;
        return 0;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = OutputRate(mixRate > 0 ? mixRate : 44100);
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
        LastError = SoundErrorInit;
        return 0;
    }
    SampleRate = obtained.freq;
    CallbackTimes = CallbackFilter{};
    OutputLatency = OutputLatencyNs(SDL_GetCurrentAudioDriver(), obtained.samples, obtained.freq);
    SDL_PauseAudioDevice(Device, 0);  // runs from now on, silent until a song plays
    LastError = SoundErrorNone;
    return 1;
}

int FSOUND_GetError() { return LastError; }

void FSOUND_Close()
{
    if (Device == 0)
        return;
    SDL_CloseAudioDevice(Device);  // waits for the callback to finish
    Device = 0;
    Playing = nullptr;
    Songs.clear();
    ShutDownSdlAudio();
}

SongHandle FMUSIC_LoadSong(const char* fileName)
{
    if (Device == 0) {
        LastError = SoundErrorNotOpen;
        return 0;
    }
    try {
        std::unique_ptr<LoadedSong> song(new LoadedSong);
        std::vector<char> bytes;
        song->Module = LoadLiveModule(fileName, bytes, song->Log, LastError);
        if (song->Module == nullptr)
            return 0;
        ResetHeardClock(song->Clock, SampleRate);
        Songs.push_back(std::move(song));
    } catch (const std::bad_alloc&) {
        LastError = SoundErrorMemory;
        return 0;
    }
    return reinterpret_cast<SongHandle>(Songs.back().get());
}

signed char FMUSIC_PlaySong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr || Device == 0) {
        LastError = SoundErrorInvalidParameter;
        return 0;
    }
    SDL_LockAudioDevice(Device);
    try {
        song->Module->set_position_seconds(0.0);
    } catch (...) {
        // Position 0 of a module that loaded is always reachable.
    }
    song->RenderedFrames = 0;
    song->DecoderDone = false;
    ResetHeardClock(song->Clock, SampleRate);
    Playing = song;
    SDL_UnlockAudioDevice(Device);
    return 1;
}

signed char FMUSIC_FreeSong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr)
        return 0;
    StopAndForget(song);
    return 1;
}

std::uint32_t FMUSIC_GetTime(SongHandle handle)
{
    if (handle == 0)
        return SilentTime(NoSongClock, HostNowNs());
    LoadedSong* song = FindSong(handle);
    return song != nullptr ? HeardTime(song->Clock, HostNowNs()) : 0;
}

signed char FMUSIC_IsFinished(SongHandle handle)
{
    if (handle == 0)
        return SilentShowOver(NoSongClock, HostNowNs(), SilentShowLength);
    LoadedSong* song = FindSong(handle);
    return song != nullptr && HeardToEnd(song->Clock, HostNowNs());
}
