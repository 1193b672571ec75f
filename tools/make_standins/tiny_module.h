#pragma once
// A tiny valid 4-channel ProTracker module ("M.K.") for tests and benchmarks,
// made by the module writer: one looped square-wave sample, a note every four
// rows, speed 6 at 125 BPM, so each row lasts exactly 120 ms and the song
// ends after its last row.

#include <string>
#include <vector>

// Milliseconds that one row plays.
constexpr int TinyModuleRowMs = 120;

// The module's bytes; rows from 1 to 8192 (128 patterns of 64 rows).
std::vector<unsigned char> TinyModule(int rows);

// Writes TinyModule(rows) to path; false when the file cannot be written or
// rows is out of range.
bool WriteTinyModule(const std::string& path, int rows);
