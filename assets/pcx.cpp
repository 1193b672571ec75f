#include "assets/pcx.h"

#include "platform/runtime_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
constexpr long PcxHeaderBytes = 128;
constexpr int PcxBlockBytes = 512;

// Texels from `out` to the end of the image as literal zero bytes give
// them: black, opaque. Doubling copies, not a texel at a time.
void FillBlack(std::uint8_t* image, std::size_t out)
{
    static const std::uint8_t Black[4] = {0, 0, 0, 255};
    if (out >= PcxImageBytes)
        return;
    std::memcpy(image + out, Black, 4);
    for (std::size_t done = 4; out + done < PcxImageBytes; done *= 2)
        std::memcpy(image + out + done, image + out, std::min(done, PcxImageBytes - out - done));
}

// The decoding rule, shared by the byte-span and the file readers. nextByte
// yields 0 once its input is exhausted, so a short input ends in black
// literal pixels and the loop always reaches the end of the image. Once
// `exhausted` says that nothing but zeros can follow, the rest is filled at
// once.
template <typename NextByte, typename Exhausted>
void DecodePcxStream(NextByte nextByte, Exhausted exhausted, std::uint8_t* image)
{
    std::size_t out = 0;
    while (out < PcxImageBytes) {
        if (exhausted()) {
            FillBlack(image, out);
            return;
        }
        const std::uint8_t b = nextByte();
        std::size_t count = 1;
        std::uint8_t v = b;
        if (b >= 0xC0) {
            count = b & 0x3F;  // 0xC0 gives no pixel; its value byte is still consumed
            v = nextByte();
        }
        // A run longer than the room left is cut at the end of the image.
        const std::uint8_t texel[4] = {v, v, v, 255};
        for (; count > 0 && out < PcxImageBytes; --count, out += 4)
            std::memcpy(image + out, texel, 4);
    }
}

struct PcxFile {
    std::FILE* handle;
    std::uint8_t block[PcxBlockBytes];
    int position;  // next byte of block to take
    int filled;    // bytes the last read delivered; the rest of block is never looked at
};

void ReadPcxBlock(PcxFile& file)
{
    // The end of the file is not an error; a failed read is.
    const std::size_t got = std::fread(file.block, 1, PcxBlockBytes, file.handle);
    if (std::ferror(file.handle))
        RuntimeError(errno);
    file.filled = static_cast<int>(got);
    file.position = 0;
}

// Refills as soon as the last byte of a block is taken, not when the next
// byte is wanted. Past the end of the file every byte reads as 0.
std::uint8_t NextPcxByte(PcxFile& file)
{
    const std::uint8_t b = file.position < file.filled ? file.block[file.position] : 0;
    if (++file.position == PcxBlockBytes)
        ReadPcxBlock(file);
    return b;
}
}  // namespace

void DecodePcx(const std::uint8_t* pixels, std::size_t size, std::uint8_t* image)
{
    std::size_t position = 0;
    DecodePcxStream([&]() -> std::uint8_t { return position < size ? pixels[position++] : 0; },
                    [&]() { return position >= size; }, image);
}

void LoadPcx(const char* fileName, std::uint8_t* image)
{
    // Read-only, so a picture without write permission still loads.
    PcxFile file;
    file.handle = std::fopen(fileName, "rb");
    if (file.handle == nullptr)
        RuntimeError(errno);
    // Unbuffered: each block is read from the file as it is needed.
    std::setvbuf(file.handle, nullptr, _IONBF, 0);
    // The header is never looked at: the pictures are known to be 512x512 grey.
    if (std::fseek(file.handle, PcxHeaderBytes, SEEK_SET) != 0)
        RuntimeError(errno);
    ReadPcxBlock(file);
    // Every block is read, to the end of the file and past it, as it comes.
    DecodePcxStream([&file]() { return NextPcxByte(file); }, [] { return false; }, image);
    if (std::fclose(file.handle) != 0)
        RuntimeError(errno);
}
