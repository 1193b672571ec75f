#pragma once
// A 3 by 3 square at each of 16 music times for 500 ms, placed and turned by
// the noise from its cue time, trembling sideways with the current time.

// Called by DisplayFrame once per frame, fifth among the effects. Sets no
// colour and no blend function, and does not reset the matrix between two
// stamps that overlap in time: the second is drawn inside the first one's
// transformation.
void DrawSquareStamps();
