#include "tools/make_standins/cue_hits.h"

#include "effects/closing_scene.h"
#include "effects/orbiting_square.h"
#include "effects/picture_zooms.h"
#include "effects/ring_pulses.h"
#include "effects/square_pulses.h"
#include "effects/square_stamps.h"
#include "effects/vertical_bands.h"
#include "tools/make_standins/arrangement.h"
#include "tools/make_standins/instruments.h"

#include <algorithm>
#include <vector>

namespace {

// A hit's row: the nearest row, unless the next row lands on the section's
// rhythm and the nearest does not. Sound that trails a picture by up to a
// row reads as in step; sound ahead of it does not, so hits only ever move
// later.
struct HitSection {
    int firstRow;
    int anchor;            // a row on the section's rhythm
    std::uint16_t rhythm;  // bit p: position p of 16 after the anchor is on it
};

const HitSection HitSections[] = {
    {0, 2, 1 << 0 | 1 << 11 | 1 << 14},           // pulse pairs and bands
    {352, 415, 1 << 0},                            // bands on the downbeat
    {582, 582, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},  // the ring riff
    {763, 789, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},
    {1006, 1029, 1 << 0 | 1 << 2 | 1 << 4 | 1 << 9},
    {1210, 1213, 1 << 0},
    {1321, 0, 0},
    {1501, 1501, 1 << 0 | 1 << 12},
    {1625, 0, 0},
};

bool OnRhythm(int row, const HitSection& s) {
    return s.rhythm && (s.rhythm >> (((row - s.anchor) % 16 + 16) % 16) & 1);
}

int HitRow(std::uint32_t ms) {
    const int early = static_cast<int>(ms / SoundtrackRowMs);
    const std::uint32_t past = ms % SoundtrackRowMs;
    const int nearest = past * 2 < SoundtrackRowMs ? early : early + 1;
    const HitSection* section = &HitSections[0];
    for (const HitSection& s : HitSections)
        if (s.firstRow <= early)
            section = &s;
    if (past != 0 && nearest == early && !OnRhythm(early, *section) && OnRhythm(early + 1, *section))
        return early + 1;
    return nearest;
}

// A stab on the chord of its row; in the ring sections the riff's four
// positions climb through the chord.
void StabAt(int row, int volume, int riffAnchor = -1) {
    int degree = ChordAt(row);
    if (riffAnchor >= 0) {
        switch (Position(row, riffAnchor)) {
        case 4: degree += 4; break;
        case 9: degree += 2; break;
        }
    }
    if (((degree % 7) + 7) % 7 == 1)  // a power chord on B leaves the key
        degree += 1;
    Tone(row, Top, Stab, PitchIn(degree, 52), volume);
}

// Room for a crash: the hats wait while it rings.
void CrashAt(int row, int volume) {
    for (int r = row + 1; r < std::min(row + 8, SoundtrackRows); ++r)
        if (SoundtrackCell(r, High).sample == HatClosed || SoundtrackCell(r, High).sample == HatOpen)
            SoundtrackCell(r, High) = ModCell{};
    Drum(row, High, Crash, volume);
}

void PlaceHits() {
    for (const BandWindow& band : VerticalBandCues)
        CrashAt(HitRow(band.start), band.start >= ClosingSceneStart ? 48 : 56);  // softer in the calm close
    for (std::uint32_t ms : SquareStampCues) {
        const int row = HitRow(ms);
        if (SoundtrackCell(row, High).sample != Crash)
            Drum(row, High, Clap, 56);
    }
    for (std::uint32_t ms : SquarePulseCues) {
        const int row = HitRow(ms);
        const bool pickup = Position(row, 2) == 11;
        StabAt(row, 56);
        if (row < 130)  // before the beat starts the pulses carry the low end
            Drum(row, Low, pickup ? Kick : Boom, pickup ? 44 : 56);
    }
    for (std::uint32_t i = 0; i < RingPulseCues.size(); ++i) {
        const int row = HitRow(RingPulseCues[i]);
        int anchor = -1;
        for (const HitSection& s : HitSections)
            if (s.firstRow <= row)
                anchor = s.rhythm == (1 << 0 | 1 << 2 | 1 << 4 | 1 << 9) ? s.anchor : -1;
        StabAt(row, 60, anchor);
        if (i >= FirstFlash && i <= LastFlash) {  // the screen flashes: everything hits
            Drum(row, Low, Boom, 64);
            CrashAt(row, 60);
        }
    }
    for (std::uint32_t ms : PictureZoomCues) {
        const int row = HitRow(ms);
        Drum(row, Low, Boom, 60);
        CrashAt(row, 48);
        StabAt(row, 50);
    }
    const int closing = HitRow(ClosingSceneStart);
    Drum(closing, Low, Boom, 64);
    CrashAt(closing, 60);
    StabAt(closing, 56);
}

// Room for the hits. A cue is heard as an accent only where the music gets
// louder on it, and in a dense passage no hit is loud enough for that on its
// own. So on the row before every hit each channel plays on softer, at two
// fifths of its volume (the low one, where the kick's long thud rings, at a
// quarter), and takes its volume back on the hit's row: the mix breathes in
// before each hit. Where two hits follow row on row, the first one's loud
// notes stop after a tick, a flam into the second, and its soft ones give way.
void MakeRoom(const std::vector<int>& hitRows) {
    std::vector<bool> hit(SoundtrackRows + 1, false);
    for (int row : hitRows)
        hit[row] = true;
    int volume[ModChannels] = {64, 64, 64, 64};  // as arranged, before any ducking
    for (int row = 0; row < SoundtrackRows; ++row)
        for (int ch = 0; ch < ModChannels; ++ch) {
            ModCell& c = SoundtrackCell(row, ch);
            const bool free = c.effect == 0 && c.param == 0;
            if (c.effect == 0xC)
                volume[ch] = c.param;
            else if (c.period)
                volume[ch] = 64;  // a note without a volume plays at its sample's, 64
            if (!hit[row + 1]) {
                if (hit[row] && !c.period && free)
                    c = ModCell{0, 0, 0xC, static_cast<std::uint8_t>(volume[ch])};
            } else if (hit[row] && c.period && c.effect == 0xC && c.param >= 56) {
                c = ModCell{c.sample, c.period, 0xE, 0xC1};  // full volume, cut after one tick
            } else {
                if (c.period && (hit[row] || c.effect != 0xC))
                    c = ModCell{};
                const int duck = ch == Low ? volume[ch] / 4 : volume[ch] * 2 / 5;
                c.effect = 0xC;
                c.param = static_cast<std::uint8_t>(duck);
            }
        }
}

}  // namespace

std::vector<SoundtrackHit> SoundtrackHits() {
    std::vector<std::uint32_t> cues(SquarePulseCues.begin(), SquarePulseCues.end());
    for (const BandWindow& band : VerticalBandCues)
        cues.push_back(band.start);
    for (const OrbitWindow& window : OrbitingSquareWindows)
        cues.push_back(window.start);
    cues.insert(cues.end(), RingPulseCues.begin(), RingPulseCues.end());
    cues.insert(cues.end(), SquareStampCues.begin(), SquareStampCues.end());
    cues.insert(cues.end(), PictureZoomCues.begin(), PictureZoomCues.end());
    cues.push_back(ClosingSceneStart);
    std::sort(cues.begin(), cues.end());
    std::vector<SoundtrackHit> hits;
    for (std::uint32_t ms : cues)
        hits.push_back({ms, HitRow(ms)});
    return hits;
}

void AccentCues() {
    PlaceHits();
    std::vector<int> rows;
    for (const SoundtrackHit& hit : SoundtrackHits())
        rows.push_back(hit.row);
    MakeRoom(rows);
}
