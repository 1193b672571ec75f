#pragma once
// Deterministic one-dimensional value noise. Pure functions of their
// arguments: equal arguments give bit-identical results on every run.

// Smooth noise within +-0.33203125 for x >= 0; four octaves. The effects
// pass times in ms (or multiples of them) to place, size and fade shapes.
double PerlinNoise1(double x);

// The inner layers, exposed for the tests.
double LatticeNoise1(double x);       // hash of trunc(x) to [-1 + 2^-30, 1]
double SmoothedNoise1(double x);      // 1/4, 1/2, 1/4 average of neighbours
double CosineInterpolate(double a, double b, double t);
double InterpolatedNoise1(double x);  // cosine blend between lattice points
