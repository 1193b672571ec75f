// The page's sound output: an AudioWorklet plays the blocks that the page's
// main thread pulls from the core and posts to it (sound_output_web.js, an
// emscripten --js-library). What is heard is the audio context's word, asked
// for whenever the core reads the clock. Everything here runs on the page's
// main thread.

#include "music/sound_output.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr int Channels = 2;
constexpr std::size_t BlockFrames = 4096;  // the largest block the feed asks for

// What orvane_audio_position says of the playing song's output. Named here
// and handed to the JavaScript side once, when output opens, so that both
// sides use these names and neither writes a bare number.
enum OutputState : int {
    OutputWaiting = 0,     // no music written yet: the time stays 0
    OutputPlaying = 1,     // music is being written
    OutputAllWritten = 2,  // the song's last frame has been written
    OutputFailed = 3,      // the worklet could not be loaded: nothing will play
};

std::int16_t Block[BlockFrames * Channels];
}  // namespace

// sound_output_web.js
extern "C" {
// 1 when a context with an audio worklet runs at sampleRate.
int orvane_audio_open(int sampleRate, int waiting, int playing, int allWritten, int failed);
void orvane_audio_close();
void orvane_audio_play();  // (re)starts the feed of the playing song from its first frame
void orvane_audio_stop();
// One of OutputState. Unless OutputWaiting, fills facts[0..2]: the music
// frame being heard, the performance.now() in ms at which it is heard, and
// the end of what the context has rendered, in music frames; for
// OutputFailed only facts[1], when playback was asked for or the load
// failed, whichever came later.
int orvane_audio_position(double* facts);
}

// The feed's render step and the probes' readings, called from
// sound_output_web.js and the test and bench hooks.
extern "C" {
EMSCRIPTEN_KEEPALIVE int orvane_sound_render(int frames)
{
    if (frames <= 0)
        return 0;
    return static_cast<int>(PullSongFrames(Block, std::min(static_cast<std::size_t>(frames), BlockFrames)));
}

EMSCRIPTEN_KEEPALIVE const std::int16_t* orvane_sound_block() { return Block; }

EMSCRIPTEN_KEEPALIVE std::uint32_t orvane_sound_time() { return FMUSIC_GetTime(PlayingSong()); }

EMSCRIPTEN_KEEPALIVE int orvane_sound_finished() { return FMUSIC_IsFinished(PlayingSong()); }
}

bool OpenSoundOutput(int, int& rate)
{
    // The page always renders and plays at the show's rate.
    rate = SoundRate;
    return orvane_audio_open(rate, OutputWaiting, OutputPlaying, OutputAllWritten, OutputFailed) != 0;
}

void CloseSoundOutput() { orvane_audio_close(); }

void StartSoundOutput() { orvane_audio_play(); }

void StopSoundOutput() { orvane_audio_stop(); }

// The context's latest word on what is heard becomes the clock's anchor: the
// frame heard at a moment of performance.now(), and the frames the context
// has rendered beyond it (the time never runs past them, so that it stops
// with the audio). Once the last frame has been written the song counts as
// ended.
void PollSoundOutput()
{
    double facts[3];
    const int state = orvane_audio_position(facts);
    if (state == OutputWaiting)
        return;
    const std::int64_t heardAtNs = std::llround(facts[1] * 1e6);
    if (state == OutputFailed) {
        ReportOutputLost(heardAtNs);
        return;
    }
    const std::int64_t renderedEnd = std::llround(facts[2]);
    std::int64_t heardFrame = std::llround(facts[0]);
    // Nothing past what was rendered is heard while more is to come: the
    // time then waits at its end (after the last frame, silence plays on).
    if (state == OutputPlaying && renderedEnd > 0)
        heardFrame = std::min(heardFrame, renderedEnd - 1);
    ReportHeard(heardFrame, heardAtNs, renderedEnd, state == OutputAllWritten);
}

std::int64_t SoundOutputNowNs() { return std::llround(emscripten_get_now() * 1e6); }

bool SoundOutputIsOffline() { return false; }
