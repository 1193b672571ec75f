#pragma once
// Moments of the show that cover every effect, a flash, a stamp pair, a
// zoom, the closing scene's wireframe and the readout: the page's frames
// test (tests/web/page_frames.mjs, which reads this table) holds the page's
// stills against orvane-capture's at them, and the GLES2 renderer's test its
// frames against the desktop GL's.

#include <cstdint>

struct PageMoment {
    std::uint32_t ms;
    const char* what;
};

inline constexpr PageMoment PageMoments[] = {
    {240, "square pulses: the first, under the readout"},
    {16180, "vertical bands: the first, half faded, under the readout"},
    {45000, "orbiting square"},
    {50000, "orbiting square in a band's alpha"},
    {69970, "ring pulses"},
    {72600, "square stamps: the first"},
    {90950, "a screen flash"},
    {99625, "a stamp pair: the second inside the first"},
    {172480, "picture zooms: the first at full strength"},
    {174000, "picture zooms: the second, fading"},
    {179270, "a ring added after the zooms"},
    {184660, "vertical bands: band 37"},
    {194960, "closing scene: first frame, the outline blended"},
    {195500, "closing scene: the wireframe opaque"},
    {199960, "closing scene with the last band, unblended"},
};
