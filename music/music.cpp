#include "music/music.h"

#include <cstdio>

SongHandle Song = 0;

namespace {
// Holds the message between FmodErrorText and the line that shows it.
std::string ErrorText;

void WriteLine(const std::string& line)
{
    std::puts(line.c_str());
    std::fflush(stdout);  // the lines must be out even if the show later dies
}

// A failed start: two lines, then sound output closed again; Song keeps
// whatever the load stored (0).
void ReportFailure(const char* what)
{
    WriteLine(what);
    ErrorText = FmodErrorText(FSOUND_GetError());
    WriteLine(ErrorText);
    FSOUND_Close();
}
}  // namespace

void StartMusic()
{
    if (!FSOUND_Init(SoundRate, 32, 0)) {
        ReportFailure("Error: Failed Initializing...");
        return;
    }
    Song = FMUSIC_LoadSong("cud.mod");
    if (Song == 0) {
        ReportFailure("Error: Failed Song Loading...");
        return;
    }
    FMUSIC_PlaySong(Song);
}

void StopMusic()
{
    FMUSIC_FreeSong(Song);
    FSOUND_Close();
}

std::string FmodErrorText(int code)
{
    static const char* const Texts[] = {
        "No errors.",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called.",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output).",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found.",
        "Unknown file format.",
        "Error loading file.",
        "Not enough memory.",
        "The version number of this file format is not supported.",
        "Incorrect mixer selected.",
        "An invalid parameter was passed to this function.",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
        "Failed to allocate a new channel.",
    };
    constexpr int Count = sizeof(Texts) / sizeof(Texts[0]);
    if (code < 0 || code >= Count)
        return "Unknown error.";
    return Texts[code];
}
