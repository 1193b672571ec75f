#pragma once
// A white band over the view's full height in each of 41 windows of music
// time, fading out while it narrows from 3 units to 2 and widens back.

#include <array>
#include <cstdint>

struct BandWindow {
    std::uint32_t start;  // music ms, inclusive
    std::uint32_t end;    // music ms, inclusive
};

// Starts about 3840 ms apart; the stand-in soundtrack puts a hit on each.
// Entry 7 is kept in that rhythm; stored with its ends the wrong way round it
// could never draw and left a 10 s gap.
inline constexpr std::array<BandWindow, 41> VerticalBandCues = {{
    {15580, 16780},   {19160, 20600},   {23000, 24440},   {26820, 28260},   {30660, 32100},
    {34500, 35920},   {38320, 39760},   {42160, 43600},   {49820, 51260},   {53640, 55080},
    {57480, 58920},   {61320, 62740},   {65140, 66580},   {69040, 70420},   {72860, 74240},
    {76700, 78080},   {80460, 81900},   {84300, 85740},   {88140, 89560},   {91960, 93400},
    {95800, 97220},   {99620, 101060},  {103460, 104900}, {107280, 108720}, {111120, 112560},
    {114940, 116380}, {118780, 120220}, {122620, 124040}, {126440, 127880}, {130280, 131720},
    {134100, 135540}, {137940, 139380}, {141760, 143200}, {145600, 147040}, {149440, 150860},
    {153260, 154700}, {157100, 158540}, {183980, 185340}, {187740, 189180}, {191580, 193020},
    {199240, 200680},
}};

// Called by DisplayFrame once per frame, second among the effects. Moves its
// cursor through the windows by at most one entry per frame. Where it draws
// it leaves its colour and the blend function SRC_ALPHA, ONE_MINUS_SRC_ALPHA
// behind for the later effects; it never switches blending on or off.
void DrawVerticalBands();
