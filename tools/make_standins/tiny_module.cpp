#include "tools/make_standins/tiny_module.h"

#include "tools/make_standins/module_writer.h"

#include <cstdio>

namespace {
constexpr int MaxPatterns = 128;
constexpr int SampleBytes = 32;
constexpr int NoteC2 = 12;  // period 428
}  // namespace

std::vector<unsigned char> TinyModule(int rows)
{
    if (rows < 1 || rows > ModRows * MaxPatterns)
        return {};
    ModSong song;
    song.title = "tiny test module";

    // A square wave looped over its whole length, so every note sounds until
    // the next.
    ModSample square;
    square.name = "s";
    square.volume = 48;
    for (int i = 0; i < SampleBytes; ++i)
        square.data.push_back(static_cast<std::int8_t>(i < SampleBytes / 2 ? 40 : -40));
    square.loopLength = SampleBytes;
    song.samples.push_back(square);

    const int patterns = (rows + ModRows - 1) / ModRows;
    song.patterns.resize(patterns);
    for (int p = 0; p < patterns; ++p)
        song.order.push_back(static_cast<std::uint8_t>(p));
    for (int row = 0; row < rows; ++row) {
        ModCell* cells = &song.patterns[row / ModRows][row % ModRows * ModChannels];
        if (row % 4 == 0)
            cells[0] = ModCell{1, NotePeriod(NoteC2), 0, 0};
        if (row == 0)
            cells[1] = ModCell{0, 0, 0xF, 6};  // speed 6 ticks a row at the default 125 BPM
        if (row == rows - 1 && rows % ModRows != 0)
            cells[2] = ModCell{0, 0, 0xD, 0};  // break out of the last pattern: the song ends here
    }
    return WriteModule(song);
}

bool WriteTinyModule(const std::string& path, int rows)
{
    std::vector<unsigned char> bytes = TinyModule(rows);
    if (bytes.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
