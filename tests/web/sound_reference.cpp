// web-sound-reference MODULE OUT: writes the desktop's offline render of the
// module (RenderOfflineSong: the live settings, no dither), 16-bit stereo
// little-endian at 44100 Hz, whole, for the page's sound to be compared with.

#include "music/offline_clock.h"
#include "music/sound_library.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: web-sound-reference MODULE OUT\n");
        return 2;
    }
    if (!FSOUND_Init(OfflineSoundRate, 32, 0) || FMUSIC_LoadSong(argv[1]) == 0) {
        std::fprintf(stderr, "web-sound-reference: cannot load %s (error %d)\n", argv[1], FSOUND_GetError());
        return 1;
    }
    const std::vector<std::int16_t> samples = RenderOfflineSong();
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr || std::fwrite(samples.data(), sizeof samples[0], samples.size(), out) != samples.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "web-sound-reference: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
