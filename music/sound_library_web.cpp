// The page's sound library: libopenmpt renders the module on the page's main
// thread, and an AudioWorklet plays what it renders (sound_library_web.js).
// The music time is what the audio context says is being heard, through the
// heard clock's anchors and rules. With UseOfflineClock the library is the
// offline one instead, for the page's stills: the page sets the time.

#include "music/heard_clock.h"
#include "music/offline_clock.h"
#include "music/sound_library.h"
#include "music/sound_library_common.h"
#include "music/sound_library_web.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <sstream>
#include <vector>

// sound_library_web.js
extern "C" {
int orvane_audio_open(int sampleRate);  // 1 when a context with an audio worklet runs at that rate
void orvane_audio_close();
void orvane_audio_play();  // (re)starts the feed of the playing song from its first frame
void orvane_audio_stop();
int orvane_audio_position(double* facts);
}

namespace {
constexpr int Channels = 2;
constexpr std::size_t BlockFrames = 4096;  // the largest block the feed asks for

struct LoadedSong {
    std::ostringstream Log;  // libopenmpt's messages, which nobody reads
    std::unique_ptr<openmpt::module> Module;
    std::uint32_t LengthMs = 0;
    bool DecoderDone = false;
    HeardClock Clock;
};

bool Open = false;
bool Offline = false;  // the page sets the time; no audio output
int LastError = SoundErrorNone;
std::vector<std::unique_ptr<LoadedSong>> Songs;
LoadedSong* Playing = nullptr;
SilentClock NoSongClock;
std::uint32_t OfflineTime = 0;
std::int16_t Block[BlockFrames * Channels];

std::int64_t HostNowNs() { return std::llround(emscripten_get_now() * 1e6); }

LoadedSong* FindSong(SongHandle song)
{
    for (const std::unique_ptr<LoadedSong>& loaded : Songs)
        if (reinterpret_cast<SongHandle>(loaded.get()) == song)
            return loaded.get();
    return nullptr;
}

// The context's latest word on what is heard becomes the clock's anchor: the
// frame heard at a moment of performance.now(), and the frames the context
// has rendered beyond it (the time never runs past them, so that it stops
// with the audio). Once the last frame has been written the decoder counts
// as ended.
void TakeAnchor(LoadedSong& song)
{
    double facts[3];
    const int state = orvane_audio_position(facts);
    if (state == 0)
        return;  // nothing written yet: the time stays 0
    const std::int64_t heardAtNs = std::llround(facts[1] * 1e6);
    if (state == 3) {
        // The page cannot play it: the song runs silently in real time from
        // then on, and ends after its length, so that the show still does.
        const std::int64_t frames = static_cast<std::int64_t>(song.LengthMs) * WebSoundRate / 1000;
        PublishHeardAnchor(song.Clock, 0, frames, heardAtNs, true);
        return;
    }
    const std::int64_t heardFrame = std::llround(facts[0]);
    const std::int64_t renderedEnd = std::llround(facts[2]);
    PublishHeardAnchor(song.Clock, heardFrame, renderedEnd - heardFrame, heardAtNs, state == 2);
}

void Forget(LoadedSong* song)
{
    if (Playing == song) {
        orvane_audio_stop();
        Playing = nullptr;
    }
    Songs.erase(std::remove_if(Songs.begin(), Songs.end(),
                               [song](const std::unique_ptr<LoadedSong>& loaded) { return loaded.get() == song; }),
                Songs.end());
}
}  // namespace

// The feed's render step and the bench's hooks, called from
// sound_library_web.js.
extern "C" {
EMSCRIPTEN_KEEPALIVE int orvane_sound_render(int frames)
{
    if (Playing == nullptr || frames <= 0)
        return 0;
    const std::size_t wanted = std::min(static_cast<std::size_t>(frames), BlockFrames);
    return static_cast<int>(RenderSongBlock(reinterpret_cast<SongHandle>(Playing), Block, wanted));
}

EMSCRIPTEN_KEEPALIVE const std::int16_t* orvane_sound_block() { return Block; }

EMSCRIPTEN_KEEPALIVE std::uint32_t orvane_sound_time() { return FMUSIC_GetTime(reinterpret_cast<SongHandle>(Playing)); }

EMSCRIPTEN_KEEPALIVE int orvane_sound_finished() { return FMUSIC_IsFinished(reinterpret_cast<SongHandle>(Playing)); }
}

std::size_t RenderSongBlock(SongHandle handle, std::int16_t* out, std::size_t frames)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr || song->DecoderDone)
        return 0;
    std::size_t rendered = 0;
    try {
        rendered = song->Module->read_interleaved_stereo(WebSoundRate, frames, out);
    } catch (...) {
        rendered = 0;  // a decoder that fails has nothing more to give: the song ends here
    }
    song->DecoderDone = rendered < frames;
    return rendered;
}

void SetSongDither(SongHandle handle, bool on)
{
    if (LoadedSong* song = FindSong(handle))
        song->Module->ctl_set_integer("dither", on ? 1 : 0);
}

void UseOfflineClock() { Offline = true; }

void SetOfflineMusicTime(std::uint32_t ms) { OfflineTime = ms; }

std::uint32_t OfflineShowLength() { return Songs.empty() ? SilentShowLength : Songs.back()->LengthMs; }

// The show asks for 44100 Hz, the rate the page always renders and plays at.
signed char FSOUND_Init(int, int, unsigned int)
{
    if (Open) {
        LastError = SoundErrorAlreadyOpen;
        return 0;
    }
    if (!Offline && !orvane_audio_open(WebSoundRate)) {
        LastError = SoundErrorInit;
        return 0;
    }
    Open = true;
    LastError = SoundErrorNone;
    return 1;
}

int FSOUND_GetError() { return LastError; }

void FSOUND_Close()
{
    if (!Open)
        return;
    if (!Offline)
        orvane_audio_close();
    Open = false;
    Playing = nullptr;
    Songs.clear();
}

SongHandle FMUSIC_LoadSong(const char* fileName)
{
    if (!Open) {
        LastError = SoundErrorNotOpen;
        return 0;
    }
    try {
        std::unique_ptr<LoadedSong> song(new LoadedSong);
        std::vector<char> bytes;
        song->Module = LoadLiveModule(fileName, bytes, song->Log, LastError);
        if (song->Module == nullptr)
            return 0;
        song->LengthMs = ModuleLengthMs(*song->Module);
        ResetHeardClock(song->Clock, WebSoundRate);
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
    if (song == nullptr || !Open) {
        LastError = SoundErrorInvalidParameter;
        return 0;
    }
    if (Offline)
        return 1;
    try {
        song->Module->set_position_seconds(0.0);
    } catch (...) {
        // Position 0 of a module that loaded is always reachable.
    }
    song->DecoderDone = false;
    ResetHeardClock(song->Clock, WebSoundRate);
    Playing = song;
    orvane_audio_play();
    return 1;
}

signed char FMUSIC_FreeSong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr)
        return 0;
    Forget(song);
    return 1;
}

std::uint32_t FMUSIC_GetTime(SongHandle handle)
{
    if (Offline)
        return OfflineTime;
    if (handle == 0)
        return SilentTime(NoSongClock, HostNowNs());
    LoadedSong* song = FindSong(handle);
    if (song == nullptr)
        return 0;
    if (song == Playing)
        TakeAnchor(*song);
    return HeardTime(song->Clock, HostNowNs());
}

signed char FMUSIC_IsFinished(SongHandle handle)
{
    if (Offline)
        return OfflineTime >= OfflineShowLength();
    if (handle == 0)
        return SilentShowOver(NoSongClock, HostNowNs(), SilentShowLength);
    LoadedSong* song = FindSong(handle);
    if (song == nullptr)
        return 0;
    if (song == Playing)
        TakeAnchor(*song);
    return HeardToEnd(song->Clock, HostNowNs());
}
