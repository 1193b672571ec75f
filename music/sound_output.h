#pragma once
// Where the sound library's core (sound_library.cpp) meets its output
// backend. Each program links exactly one backend, which defines the first
// group of functions; the core defines the second, for the backend to call.
// The core calls the backend from the main thread only: the last two
// functions of the first group at any time, the others between
// OpenSoundOutput succeeding and CloseSoundOutput.

#include "music/sound_library.h"

#include <cstddef>
#include <cstdint>

// ---- What a backend provides ------------------------------------------------

// Opens the output for 16-bit stereo at about wantedRate frames per second
// (the core passes SoundRate, or what FSOUND_Init was asked for) and stores in
// rate the rate it will pull frames at. False when no output can be opened
// (FSOUND_Init then fails with SoundErrorInit).
bool OpenSoundOutput(int wantedRate, int& rate);

// Closes the output. When it returns the backend no longer calls the core.
void CloseSoundOutput();

// The playing song starts from its first frame: the backend begins to pull
// frames (PullSongFrames) and to report when they are heard (ReportHeard).
void StartSoundOutput();

// No song plays any more (the core is about to start another one, or to free
// the one that played). When it returns the backend no longer pulls or
// reports until the next StartSoundOutput.
void StopSoundOutput();

// Called before the core reads the playing song's clock: a backend whose
// word on what is heard comes only when asked (the page's) reports it now;
// the others do nothing.
void PollSoundOutput();

// Nanoseconds of the monotonic host clock that the backend's heard times are
// given in. Any thread.
std::int64_t SoundOutputNowNs();

// True for an output that plays nothing and whose music time its caller sets
// (offline_clock.h): the core then keeps to that clock from the start and
// calls no other function above.
bool SoundOutputIsOffline();

// ---- What the core provides to the backend ------------------------------------

// Renders the playing song's next frames, 16-bit stereo interleaved at the
// rate OpenSoundOutput gave, into out (room for 2 * frames samples). The
// number rendered: fewer than asked at the song's end, then 0; 0 when no song
// plays or its decoder failed. Called on the backend's render thread (SDL's
// audio thread; the page's main thread) between StartSoundOutput and
// StopSoundOutput.
std::size_t PullSongFrames(std::int16_t* out, std::size_t frames);

// Music frame `frame` of the playing song is heard at host time heardAtNs
// (SoundOutputNowNs' clock); the output has rendered the song up to
// renderedEndFrame (the time never runs past it while the song lasts); ended:
// the song's last frame has been pulled. Same thread and span as
// PullSongFrames, or inside PollSoundOutput.
void ReportHeard(std::int64_t frame, std::int64_t heardAtNs, std::int64_t renderedEndFrame, bool ended);

// The output cannot play the song after all (it failed after opening): the
// song then runs silently in real time from host time atNs and ends after its
// length, so that the show still does. Same callers as ReportHeard.
void ReportOutputLost(std::int64_t atNs);

// The song the output plays, 0 when none: for a backend's own probes. Main
// thread.
SongHandle PlayingSong();

// ---- For tests ---------------------------------------------------------------

// The render step PullSongFrames runs, for any loaded song: its next frames
// into out, as PullSongFrames renders them. 0 for an unknown handle. Main
// thread, for a song that no output is pulling.
std::size_t RenderSongBlock(SongHandle song, std::int16_t* out, std::size_t frames);

// libopenmpt dithers 16-bit output by default, randomly seeded, as the live
// desktop show plays it; off, two renders give the same samples. Main thread.
void SetSongDither(SongHandle song, bool on);
