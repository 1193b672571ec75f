#pragma once
// A contact sheet: stills of the show in a grid, each labelled with its
// time, as one picture.

#include <cstdint>
#include <vector>

// The moments the sheet shows, in music ms, ascending: at least one inside
// every effect's windows (a flash, a zoom, two overlapping stamps, the
// closing scene among them).
const std::vector<std::uint32_t>& ContactSheetMoments();

// Builds the sheet from 800 by 600 RGB stills (top row first), one per
// moment, at half size in rows of `columns`, each above its label.
struct SheetPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};
void StartContactSheet(SheetPicture& sheet, int stillCount, int columns);
void AddToContactSheet(SheetPicture& sheet, int index, int columns, const std::vector<std::uint8_t>& still,
                       std::uint32_t ms);
