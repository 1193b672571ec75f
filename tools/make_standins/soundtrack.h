#pragma once
// "cud.mod", the show's soundtrack, composed and synthesized here: the
// instruments (instruments.h), the arrangement (arrangement.h) and the hits
// on the show's cues (cue_hits.h), ending just after the closing scene
// (207260 ms). Every cue time of the show's effects falls on a hit of the
// music, within one row, and the music steps back on the row before each
// hit, so that every cue is heard as an accent.

#include "tools/make_standins/arrangement.h"
#include "tools/make_standins/cue_hits.h"
#include "tools/make_standins/module_writer.h"

// The whole module; identical on every call.
ModSong MakeSoundtrack();
