#include "tools/make_standins/soundtrack.h"

#include "tools/make_standins/instruments.h"

ModSong MakeSoundtrack() {
    ArrangeSoundtrack();
    AccentCues();
    FadeOut(1680, SoundtrackRows - 4);
    // Speed 6, tempo 125 are the format's defaults; say so anyway, on two
    // cells that the arrangement leaves empty.
    SoundtrackCell(0, Low) = ModCell{0, 0, 0xF, 6};
    SoundtrackCell(0, Top) = ModCell{0, 0, 0xF, 125};

    ModSong song;
    song.title = "orvane";
    song.samples = SoundtrackSamples();
    for (int p = 0; p < SoundtrackPatterns; ++p) {
        ModPattern pattern;
        for (int r = 0; r < ModRows; ++r)
            for (int ch = 0; ch < ModChannels; ++ch)
                pattern[r * ModChannels + ch] = SoundtrackCell(p * ModRows + r, ch);
        song.patterns.push_back(pattern);
        song.order.push_back(static_cast<std::uint8_t>(p));
    }
    return song;
}
