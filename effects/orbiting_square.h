#pragma once
// In two long stretches of music time, a square that circles the view's
// centre on an ellipse, spins, and swells and shrinks with the noise.

// Called by DisplayFrame once per frame, third among the effects. Sets no
// colour and no blend function: the square takes whatever the first two
// effects left in this frame. Reads the scene time afresh for each use.
void DrawOrbitingSquare();
