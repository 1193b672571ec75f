#include "tests/support/tiny_module.h"

#include <cstdio>

namespace {
constexpr int RowsPerPattern = 64;
constexpr int ChannelCount = 4;
constexpr int MaxPatterns = 128;
constexpr int SampleBytes = 32;
constexpr int MiddleCPeriod = 428;

void PutWord(std::vector<unsigned char>& bytes, std::size_t at, int value)
{
    bytes[at] = static_cast<unsigned char>(value >> 8);  // big-endian, as Amiga files are
    bytes[at + 1] = static_cast<unsigned char>(value & 0xFF);
}

void PutCell(std::vector<unsigned char>& bytes, std::size_t at, int sample, int period, int effect, int parameter)
{
    bytes[at] = static_cast<unsigned char>((sample & 0xF0) | (period >> 8));
    bytes[at + 1] = static_cast<unsigned char>(period & 0xFF);
    bytes[at + 2] = static_cast<unsigned char>(((sample & 0x0F) << 4) | effect);
    bytes[at + 3] = static_cast<unsigned char>(parameter);
}
}  // namespace

std::vector<unsigned char> TinyModule(int rows)
{
    if (rows < 1 || rows > RowsPerPattern * MaxPatterns)
        return {};
    int patterns = (rows + RowsPerPattern - 1) / RowsPerPattern;
    const std::size_t headerBytes = 20 + 31 * 30 + 2 + 128 + 4;
    const std::size_t patternBytes = RowsPerPattern * ChannelCount * 4;
    std::vector<unsigned char> bytes(headerBytes + patterns * patternBytes + SampleBytes, 0);

    const char title[] = "tiny test module";
    for (std::size_t i = 0; i + 1 < sizeof title; ++i)
        bytes[i] = static_cast<unsigned char>(title[i]);

    // Sample 1: looped over its whole length, so every note sounds until the next.
    std::size_t sample = 20;
    bytes[sample] = 's';
    PutWord(bytes, sample + 22, SampleBytes / 2);
    bytes[sample + 25] = 48;  // volume
    PutWord(bytes, sample + 26, 0);
    PutWord(bytes, sample + 28, SampleBytes / 2);
    for (int other = 1; other < 31; ++other)
        PutWord(bytes, 20 + other * 30 + 28, 1);  // unused samples: "no loop" is a loop length of one word

    std::size_t order = 20 + 31 * 30;
    bytes[order] = static_cast<unsigned char>(patterns);
    bytes[order + 1] = 127;
    for (int p = 0; p < patterns; ++p)
        bytes[order + 2 + p] = static_cast<unsigned char>(p);
    const char tag[] = "M.K.";
    for (int i = 0; i < 4; ++i)
        bytes[order + 130 + i] = static_cast<unsigned char>(tag[i]);

    for (int row = 0; row < rows; ++row) {
        std::size_t cell = headerBytes + row / RowsPerPattern * patternBytes + row % RowsPerPattern * ChannelCount * 4;
        if (row % 4 == 0)
            PutCell(bytes, cell, 1, MiddleCPeriod, 0, 0);
        if (row == 0)
            PutCell(bytes, cell + 4, 0, 0, 0xF, 6);  // speed 6 ticks a row at the default 125 BPM
        if (row == rows - 1 && rows % RowsPerPattern != 0)
            PutCell(bytes, cell + 8, 0, 0, 0xD, 0);  // break out of the last pattern: the song ends here
    }

    std::size_t data = headerBytes + patterns * patternBytes;
    for (int i = 0; i < SampleBytes; ++i)
        bytes[data + i] = static_cast<unsigned char>(i < SampleBytes / 2 ? 40 : -40);
    return bytes;
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
