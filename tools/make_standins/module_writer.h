#pragma once
// Writer of four-channel ProTracker modules ("M.K."): 31 sample slots, an
// order table and 64-row patterns, samples as 8-bit signed PCM. Used by the
// soundtrack to produce "cud.mod"; knows nothing about the music itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int ModChannels = 4;
constexpr int ModRows = 64;
constexpr int ModSampleSlots = 31;
constexpr int ModOrderSlots = 128;
constexpr std::size_t ModMaxSampleBytes = 65535 * 2;  // lengths are stored in words

// Notes 0 (C-1) to 35 (B-3): ProTracker's three octaves.
constexpr int ModNoteCount = 36;
// Amiga period of a note at finetune 0; the note is clamped to 0..35.
std::uint16_t NotePeriod(int note);

// One instrument sample. Loop start and length are in bytes and must be
// even; a loop length of 0 means the sample plays once.
struct ModSample {
    std::string name;               // up to 22 characters kept
    std::vector<std::int8_t> data;  // even length, at most ModMaxSampleBytes
    int volume = 64;                // 0..64
    std::size_t loopStart = 0;
    std::size_t loopLength = 0;
};

// One cell of a pattern. sample 0 with period 0 is an empty cell; sample
// numbers count from 1 as in the tracker.
struct ModCell {
    std::uint8_t sample = 0;
    std::uint16_t period = 0;
    std::uint8_t effect = 0;  // 0x0..0xF
    std::uint8_t param = 0;
};

using ModPattern = std::array<ModCell, ModRows * ModChannels>;  // row-major

struct ModSong {
    std::string title;                // up to 20 characters kept
    std::vector<ModSample> samples;   // up to 31; the rest of the slots stay empty
    std::vector<ModPattern> patterns;
    std::vector<std::uint8_t> order;  // 1..128 pattern numbers, played in turn
};

// The module file's bytes. Sizes beyond what the format can hold are cut to
// fit (names, sample lengths, slots, orders), so the result always loads.
std::vector<std::uint8_t> WriteModule(const ModSong& song);
