// The page's sound library on a test page of its own (tests/web/sound.html):
// the show's own music start and clock, and the library's render step, each
// behind a function that the browser tests call.

#include "music/clock.h"
#include "music/music.h"
#include "music/offline_clock.h"
#include "music/sound_output.h"

#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
SongHandle PcmSong = 0;
std::vector<std::int16_t> Pcm;
}  // namespace

extern "C" {
// StartMusic and StartClock as InitScene ends; nonzero when the song plays.
EMSCRIPTEN_KEEPALIVE int harness_start()
{
    StartMusic();
    StartClock();
    return Song != 0;
}

// The scene time, as every effect reads it.
EMSCRIPTEN_KEEPALIVE std::uint32_t harness_time() { return SceneTime(); }

EMSCRIPTEN_KEEPALIVE int harness_finished() { return FMUSIC_IsFinished(Song); }

// The song played again from its start; the scene keeps its mark (0).
EMSCRIPTEN_KEEPALIVE void harness_replay() { FMUSIC_PlaySong(Song); }

// As Quit does.
EMSCRIPTEN_KEEPALIVE void harness_stop() { StopMusic(); }

// The page's still mode: the page sets the time, no audio opens.
EMSCRIPTEN_KEEPALIVE void harness_start_still()
{
    UseOfflineClock();
    StartMusic();
    StartClock();
}

EMSCRIPTEN_KEEPALIVE void harness_set_still_time(std::uint32_t ms) { SetOfflineMusicTime(ms); }

EMSCRIPTEN_KEEPALIVE std::uint32_t harness_show_length() { return OfflineShowLength(); }

// "cud.mod" loaded for rendering only, dither off; nonzero on success.
EMSCRIPTEN_KEEPALIVE int harness_open_pcm()
{
    if (!FSOUND_Init(SoundRate, 32, 0))
        return 0;
    PcmSong = FMUSIC_LoadSong("cud.mod");
    SetSongDither(PcmSong, false);
    return PcmSong != 0;
}

// The next frames of that song through the render step the feed runs, into
// the buffer that harness_pcm points at; the number of frames rendered.
EMSCRIPTEN_KEEPALIVE int harness_render_pcm(int frames)
{
    Pcm.resize(static_cast<std::size_t>(frames) * 2);
    return static_cast<int>(RenderSongBlock(PcmSong, Pcm.data(), static_cast<std::size_t>(frames)));
}

EMSCRIPTEN_KEEPALIVE const std::int16_t* harness_pcm() { return Pcm.data(); }
}

int main() { return 0; }
