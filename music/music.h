#pragma once
// The soundtrack: "cud.mod" from the working folder, played once.

#include "music/sound_library.h"

#include <string>

// Handle of the playing module; 0 before StartMusic and after a failed start.
extern SongHandle Song;

// Starts sound output and the module. A failure writes two lines to standard
// output and leaves Song 0; the show goes on. Called once, by InitScene.
void StartMusic();

// Frees the module and closes sound output. Called once, by Quit.
void StopMusic();

// The message text for a sound library error code.
std::string FmodErrorText(int code);
