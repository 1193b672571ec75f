#include "platform/runtime_error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <execinfo.h>
#endif

namespace {
// Windows XP and Server 2003 walk at most 62 frames; no report needs more.
constexpr int MaxFrames = 62;

#if defined(_WIN32)
std::uintptr_t ModuleBase(void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return 0;
    return reinterpret_cast<std::uintptr_t>(module);  // a module's handle is its load address
}

// Return addresses from the innermost frame out, this function's caller first.
int CaptureStack(void** frames) { return RtlCaptureStackBackTrace(0, MaxFrames, frames, nullptr); }
#else
std::uintptr_t ModuleBase(void* address)
{
    Dl_info info;
    return dladdr(address, &info) != 0 ? reinterpret_cast<std::uintptr_t>(info.dli_fbase) : 0;
}

int CaptureStack(void** frames) { return backtrace(frames, MaxFrames); }
#endif

// A code address as an offset into the module that holds it: unlike the
// absolute address it stays the same from run to run (ASLR) and can be looked
// up in the binary. Modules are far smaller than 4 GiB, so 32 bits hold it.
std::uint32_t ModuleOffset(void* address)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - ModuleBase(address));
}
}  // namespace

// noinline: the return address must be that of the failed check itself.
__attribute__((noinline)) void RuntimeError(int errorNumber)
{
    void* const caller = __builtin_return_address(0);
    std::printf("Runtime error %d at 0x%08X\n", errorNumber,
                static_cast<unsigned>(ModuleOffset(caller)));

    void* frames[MaxFrames];
    const int depth = CaptureStack(frames);
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
