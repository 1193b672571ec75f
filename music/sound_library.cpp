// The sound library's core, written once for every backend: songs loaded
// with libopenmpt as the live show plays them, rendered for the backend, and
// their end and music time taken from the heard clock that the backend's
// reports drive; the silent clock of song 0; the offline clock that a
// renderer sets; the failure codes. The backend (sound_output.h) only opens,
// starts, stops and closes its output, and reports what is heard.

#include "music/sound_library.h"

#include "music/heard_clock.h"
#include "music/offline_clock.h"
#include "music/sound_library_common.h"
#include "music/sound_output.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <memory>
#include <new>
#include <ostream>
#include <streambuf>
#include <vector>

namespace {
constexpr std::size_t OfflineBlockFrames = 4096;

// Swallows libopenmpt's log, which would otherwise go to std::clog. Keeps no
// state, so the render thread and the main thread may both write to it.
class DiscardBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct LoadedSong {
    DiscardBuffer LogBuffer;
    std::ostream Log{&LogBuffer};
    std::vector<char> Bytes;  // the file, for RenderOfflineSong
    std::unique_ptr<openmpt::module> Module;
    std::uint32_t LengthMs = 0;
    // Owned by the render thread while the song plays; the main thread
    // touches them only while the output is stopped.
    bool DecoderDone = false;
    HeardClock Clock;
};

bool Open = false;
bool Offline = false;  // the music time is set by the caller; no output opens
int Rate = SoundRate;  // what the output pulls at
int LastError = SoundErrorNone;
std::vector<std::unique_ptr<LoadedSong>> Songs;  // main thread only
// Changed on the main thread only while the output is stopped, so that the
// render thread never sees it change under it.
LoadedSong* Playing = nullptr;
SilentClock NoSongClock;
std::uint32_t OfflineTime = 0;

bool IsOffline() { return Offline || SoundOutputIsOffline(); }

SongHandle HandleOf(const LoadedSong* song) { return reinterpret_cast<SongHandle>(song); }

LoadedSong* FindSong(SongHandle song)
{
    for (const std::unique_ptr<LoadedSong>& loaded : Songs)
        if (HandleOf(loaded.get()) == song)
            return loaded.get();
    return nullptr;
}

// The song of that handle with its clock up to date (the output's latest
// word taken if it plays); null for an unknown handle.
LoadedSong* HeardSong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song != nullptr && song == Playing)
        PollSoundOutput();
    return song;
}

std::size_t RenderFrames(LoadedSong& song, std::int16_t* out, std::size_t frames)
{
    if (song.DecoderDone)
        return 0;
    std::size_t rendered = 0;
    try {
        rendered = song.Module->read_interleaved_stereo(Rate, frames, out);
    } catch (...) {
        rendered = 0;  // a decoder that fails has nothing more to give: the song ends here
    }
    song.DecoderDone = rendered < frames;
    return rendered;
}

void StopPlaying()
{
    if (Playing == nullptr)
        return;
    StopSoundOutput();
    Playing = nullptr;
}
}  // namespace

// ---- The calls ----------------------------------------------------------------

signed char FSOUND_Init(int mixRate, int, unsigned int)
{
    if (Open) {
        LastError = SoundErrorAlreadyOpen;
        return 0;
    }
    if (!IsOffline() && !OpenSoundOutput(mixRate > 0 ? mixRate : SoundRate, Rate)) {
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
    if (!IsOffline())
        CloseSoundOutput();
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
        song->Module = LoadLiveModule(fileName, song->Bytes, song->Log, LastError);
        if (song->Module == nullptr)
            return 0;
        song->LengthMs = ModuleLengthMs(*song->Module);
        ResetHeardClock(song->Clock, Rate);
        Songs.push_back(std::move(song));
    } catch (const std::bad_alloc&) {
        LastError = SoundErrorMemory;
        return 0;
    }
    return HandleOf(Songs.back().get());
}

signed char FMUSIC_PlaySong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr || !Open) {
        LastError = SoundErrorInvalidParameter;
        return 0;
    }
    if (IsOffline())
        return 1;
    StopPlaying();
    try {
        song->Module->set_position_seconds(0.0);
    } catch (...) {
        // Position 0 of a module that loaded is always reachable.
    }
    song->DecoderDone = false;
    ResetHeardClock(song->Clock, Rate);
    Playing = song;
    StartSoundOutput();
    return 1;
}

signed char FMUSIC_FreeSong(SongHandle handle)
{
    LoadedSong* song = FindSong(handle);
    if (song == nullptr)
        return 0;
    if (Playing == song)
        StopPlaying();
    Songs.erase(std::remove_if(Songs.begin(), Songs.end(),
                               [song](const std::unique_ptr<LoadedSong>& loaded) { return loaded.get() == song; }),
                Songs.end());
    return 1;
}

std::uint32_t FMUSIC_GetTime(SongHandle handle)
{
    if (IsOffline())
        return OfflineTime;
    if (handle == 0)
        return SilentTime(NoSongClock, SoundOutputNowNs());
    LoadedSong* song = HeardSong(handle);
    return song != nullptr ? HeardTime(song->Clock, SoundOutputNowNs()) : 0;
}

signed char FMUSIC_IsFinished(SongHandle handle)
{
    if (IsOffline())
        return OfflineTime >= OfflineShowLength();
    if (handle == 0)
        return SilentShowOver(NoSongClock, SoundOutputNowNs(), SilentShowLength);
    LoadedSong* song = HeardSong(handle);
    return song != nullptr && HeardToEnd(song->Clock, SoundOutputNowNs());
}

// ---- The offline clock ------------------------------------------------------------

void UseOfflineClock() { Offline = true; }

void SetOfflineMusicTime(std::uint32_t ms) { OfflineTime = ms; }

std::uint32_t OfflineShowLength() { return Songs.empty() ? SilentShowLength : Songs.back()->LengthMs; }

std::vector<std::int16_t> RenderOfflineSong(int rate)
{
    std::vector<std::int16_t> samples;
    if (Songs.empty())
        return samples;
    DiscardBuffer logBuffer;
    std::ostream log(&logBuffer);
    int error = SoundErrorNone;
    const std::unique_ptr<openmpt::module> module = OpenLiveModule(Songs.back()->Bytes, log, error);
    if (module == nullptr)
        return samples;  // it opened when it was loaded
    // The live show's 16-bit output carries random dither in its lowest bit;
    // without it, two renders give the same samples.
    module->ctl_set_integer("dither", 0);
    std::size_t rendered = 0;
    do {
        const std::size_t used = samples.size();
        samples.resize(used + OfflineBlockFrames * 2);
        rendered = module->read_interleaved_stereo(rate, OfflineBlockFrames, samples.data() + used);
        samples.resize(used + rendered * 2);
    } while (rendered > 0);
    return samples;
}

// ---- For the backend ----------------------------------------------------------------

std::size_t PullSongFrames(std::int16_t* out, std::size_t frames)
{
    return Playing != nullptr ? RenderFrames(*Playing, out, frames) : 0;
}

void ReportHeard(std::int64_t frame, std::int64_t heardAtNs, std::int64_t renderedEndFrame, bool ended)
{
    if (Playing != nullptr)
        PublishHeardAnchor(Playing->Clock, frame, renderedEndFrame - frame, heardAtNs, ended);
}

void ReportOutputLost(std::int64_t atNs)
{
    if (Playing == nullptr)
        return;
    const std::int64_t frames = static_cast<std::int64_t>(Playing->LengthMs) * Rate / 1000;
    PublishHeardAnchor(Playing->Clock, 0, frames, atNs, true);
}

SongHandle PlayingSong() { return HandleOf(Playing); }

// ---- For tests ------------------------------------------------------------------------

std::size_t RenderSongBlock(SongHandle handle, std::int16_t* out, std::size_t frames)
{
    LoadedSong* song = FindSong(handle);
    return song != nullptr ? RenderFrames(*song, out, frames) : 0;
}

void SetSongDither(SongHandle handle, bool on)
{
    if (LoadedSong* song = FindSong(handle))
        song->Module->ctl_set_integer("dither", on ? 1 : 0);
}
