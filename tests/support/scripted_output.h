#pragma once
// A sound output backend of the tests' own (music/sound_output.h): a device
// the test drives by hand, so that the sound library's core (its songs,
// errors, end and clock) is tested once for every backend. The host clock is
// the test's too. All on the test's thread.

#include <cstddef>
#include <cstdint>
#include <vector>

// Back to an output that opens, plays nothing, stands at host time 0 and is
// not offline.
void ResetScriptedOutput();

// Whether OpenSoundOutput succeeds from now on.
void ScriptOutputOpens(bool opens);

// Makes the output an offline one (SoundOutputIsOffline) from now on.
void ScriptOfflineOutput(bool offline);

// The host time, in ns, that SoundOutputNowNs reports.
void SetScriptedNow(std::int64_t ns);

// True between OpenSoundOutput and CloseSoundOutput.
bool ScriptedOutputOpen();

// True while a song plays and has frames left to pull.
bool ScriptedOutputPulling();

// As a device's callback does: pulls up to frames frames of the playing
// song and reports that the block's first frame is heard at heardAtNs. The
// samples pulled (16-bit stereo interleaved); none when nothing is pulling.
std::vector<std::int16_t> PlayScriptedBlock(std::size_t frames, std::int64_t heardAtNs);

// At the next poll, the output reports that it cannot play the song, as of
// host time atNs.
void LoseScriptedOutputOnPoll(std::int64_t atNs);
