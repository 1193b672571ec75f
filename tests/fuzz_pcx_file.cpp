// libFuzzer target for the picture file reader: with its 512-byte blocks it
// must decode a file made of a header and the input exactly as DecodePcx
// decodes the input. Each input makes a file round trip, so this target
// tries far fewer inputs than fuzz_pcx.cpp in the same time.

#include "assets/pcx.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {
std::uint8_t FromBytes[PcxImageBytes];
std::uint8_t FromFile[PcxImageBytes];

// An in-memory file, reopened by name for each LoadPcx.
int MemoryFile = -1;
char MemoryFileName[64];

void WritePictureFile(const std::uint8_t* data, std::size_t size)
{
    if (MemoryFile < 0) {
        MemoryFile = memfd_create("fuzz_pcx", 0);
        if (MemoryFile < 0)
            std::abort();
        std::snprintf(MemoryFileName, sizeof MemoryFileName, "/proc/self/fd/%d", MemoryFile);
    }
    std::uint8_t header[128];
    std::memset(header, 0x5A, sizeof header);
    if (ftruncate(MemoryFile, 0) != 0 || pwrite(MemoryFile, header, 128, 0) != 128)
        std::abort();
    if (size > 0 && pwrite(MemoryFile, data, size, 128) != static_cast<ssize_t>(size))
        std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DecodePcx(data, size, FromBytes);
    WritePictureFile(data, size);
    std::memset(FromFile, 0xA5, sizeof FromFile);
    LoadPcx(MemoryFileName, FromFile);
    if (std::memcmp(FromBytes, FromFile, PcxImageBytes) != 0)
        __builtin_trap();
    return 0;
}
