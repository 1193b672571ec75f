#include "platform/runtime_error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>

namespace {
// A code address as an offset into the module that holds it: unlike the
// absolute address it stays the same from run to run (ASLR) and can be looked
// up in the binary. Modules are far smaller than 4 GiB, so 32 bits hold it.
std::uint32_t ModuleOffset(void* address)
{
    Dl_info info;
    std::uintptr_t base = 0;
    if (dladdr(address, &info) != 0)
        base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - base);
}
}  // namespace

// noinline: the return address must be that of the failed check itself.
__attribute__((noinline)) void RuntimeError(int errorNumber)
{
    void* const caller = __builtin_return_address(0);
    std::printf("Runtime error %d at 0x%08X\n", errorNumber,
                static_cast<unsigned>(ModuleOffset(caller)));

    void* frames[64];
    const int depth = backtrace(frames, 64);
    // Frames up to and including the caller's are already reported above.
    int first = 1;
    for (int i = 0; i < depth; ++i)
        if (frames[i] == caller) {
            first = i + 1;
            break;
        }
    for (int i = first; i < depth; ++i)
        std::printf("0x%08X\n", static_cast<unsigned>(ModuleOffset(frames[i])));
    std::printf("\n");
    std::fflush(stdout);
    // std::exit, not _exit: the atexit handler that restores the display
    // mode must still run. Nothing else of the shutdown does.
    std::exit(errorNumber);
}
