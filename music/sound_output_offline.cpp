// The offline output: none. The music time is the one that the renderer
// sets (offline_clock.h), which the core keeps to from the start; the song is
// still loaded with libopenmpt, so that a missing or broken "cud.mod" fails
// exactly as in the live show and the show's length is the song's. For
// orvane-capture and the frame tests; the core calls none of the functions
// below but the last.

#include "music/sound_output.h"

bool OpenSoundOutput(int, int&) { return false; }

void CloseSoundOutput() {}

void StartSoundOutput() {}

void StopSoundOutput() {}

void PollSoundOutput() {}

std::int64_t SoundOutputNowNs() { return 0; }

bool SoundOutputIsOffline() { return true; }
