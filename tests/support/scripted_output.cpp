#include "tests/support/scripted_output.h"

#include "music/sound_output.h"

namespace {
bool Opens = true;
bool Offline = false;
bool IsOpen = false;
bool Pulling = false;
std::int64_t NowNs = 0;
std::int64_t PulledFrames = 0;
bool LoseOnPoll = false;
std::int64_t LostAtNs = 0;
}  // namespace

void ResetScriptedOutput()
{
    Opens = true;
    Offline = false;
    Pulling = false;
    NowNs = 0;
    LoseOnPoll = false;
}

void ScriptOutputOpens(bool opens) { Opens = opens; }
void ScriptOfflineOutput(bool offline) { Offline = offline; }
void SetScriptedNow(std::int64_t ns) { NowNs = ns; }
bool ScriptedOutputOpen() { return IsOpen; }
bool ScriptedOutputPulling() { return Pulling; }

std::vector<std::int16_t> PlayScriptedBlock(std::size_t frames, std::int64_t heardAtNs)
{
    std::vector<std::int16_t> block;
    if (!Pulling)
        return block;
    block.resize(frames * 2);
    const std::size_t rendered = PullSongFrames(block.data(), frames);
    block.resize(rendered * 2);
    const bool ended = rendered < frames;
    ReportHeard(PulledFrames, heardAtNs, PulledFrames + static_cast<std::int64_t>(rendered), ended);
    PulledFrames += static_cast<std::int64_t>(rendered);
    Pulling = !ended;
    return block;
}

void LoseScriptedOutputOnPoll(std::int64_t atNs)
{
    LoseOnPoll = true;
    LostAtNs = atNs;
}

bool OpenSoundOutput(int wantedRate, int& rate)
{
    if (!Opens)
        return false;
    rate = wantedRate;
    IsOpen = true;
    return true;
}

void CloseSoundOutput()
{
    IsOpen = false;
    Pulling = false;
}

void StartSoundOutput()
{
    PulledFrames = 0;
    Pulling = true;
}

void StopSoundOutput() { Pulling = false; }

void PollSoundOutput()
{
    if (LoseOnPoll)
        ReportOutputLost(LostAtNs);
    LoseOnPoll = false;
}

std::int64_t SoundOutputNowNs() { return NowNs; }

bool SoundOutputIsOffline() { return Offline; }
