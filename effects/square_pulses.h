#pragma once
// A white square at each of 22 music times, placed by the noise from its cue
// time, growing to twice its size and fading out over 550 ms.

// Called by DisplayFrame once per frame, first among the effects, with an
// identity model-view matrix and opaque white current. Outside its pulses it
// makes no GL call. Where it draws it leaves its colour and the blend
// function SRC_ALPHA, ONE_MINUS_SRC_ALPHA behind for the later effects.
void DrawSquarePulses();
