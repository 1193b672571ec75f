// The offline sound library: the same calls as the live one, with the music
// time set by the renderer (offline_clock.h) instead of heard from a device.
// The module is still opened with libopenmpt, so that a missing or broken
// "cud.mod" fails exactly as in the live show and the show's length is the
// song's.

#include "music/offline_clock.h"
#include "music/sound_library.h"
#include "music/sound_library_common.h"

#include <libopenmpt/libopenmpt.hpp>

#include <memory>
#include <sstream>
#include <utility>
#include <vector>

namespace {
bool Open = false;
int LastError = SoundErrorNone;
std::uint32_t MusicTime = 0;
std::uint32_t SongLength = 0;  // ms; 0 while no song is loaded
constexpr SongHandle OfflineSong = 1;
bool SongLoaded = false;
std::vector<char> SongBytes;  // kept for RenderOfflineSong

}  // namespace

void UseOfflineClock() {}

void SetOfflineMusicTime(std::uint32_t ms) { MusicTime = ms; }

std::uint32_t OfflineShowLength() { return SongLoaded ? SongLength : SilentShowLength; }

signed char FSOUND_Init(int, int, unsigned int)
{
    if (Open) {
        LastError = SoundErrorAlreadyOpen;
        return 0;
    }
    Open = true;
    LastError = SoundErrorNone;
    return 1;
}

int FSOUND_GetError() { return LastError; }

void FSOUND_Close()
{
    Open = false;
    SongLoaded = false;
    SongBytes.clear();
}

SongHandle FMUSIC_LoadSong(const char* fileName)
{
    if (!Open) {
        LastError = SoundErrorNotOpen;
        return 0;
    }
    std::vector<char> bytes;
    std::ostringstream log;  // libopenmpt's messages are of no use here
    const std::unique_ptr<openmpt::module> module = LoadLiveModule(fileName, bytes, log, LastError);
    if (module == nullptr)
        return 0;
    SongLength = ModuleLengthMs(*module);
    SongLoaded = true;
    SongBytes = std::move(bytes);
    LastError = SoundErrorNone;
    return OfflineSong;
}

signed char FMUSIC_PlaySong(SongHandle song)
{
    if (song != OfflineSong || !SongLoaded) {
        LastError = SoundErrorInvalidParameter;
        return 0;
    }
    return 1;
}

signed char FMUSIC_FreeSong(SongHandle song)
{
    if (song == OfflineSong) {
        SongLoaded = false;
        SongBytes.clear();
    }
    return 1;
}

std::uint32_t FMUSIC_GetTime(SongHandle) { return MusicTime; }

signed char FMUSIC_IsFinished(SongHandle) { return MusicTime >= OfflineShowLength(); }

std::vector<std::int16_t> RenderOfflineSong(int sampleRate)
{
    std::vector<std::int16_t> samples;
    if (!SongLoaded)
        return samples;
    std::ostringstream log;
    int error = SoundErrorNone;
    const std::unique_ptr<openmpt::module> module = OpenLiveModule(SongBytes, log, error);
    if (module == nullptr)
        return samples;  // it opened when it was loaded
    // The live show's 16-bit output carries random dither in its lowest bit;
    // without it, two renders give the same samples.
    module->ctl_set_integer("dither", 0);
    constexpr std::size_t BlockFrames = 4096;
    std::size_t rendered = 0;
    do {
        const std::size_t used = samples.size();
        samples.resize(used + BlockFrames * 2);
        rendered = module->read_interleaved_stereo(sampleRate, BlockFrames, samples.data() + used);
        samples.resize(used + rendered * 2);
    } while (rendered > 0);
    return samples;
}
