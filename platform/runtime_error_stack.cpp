// The call stack of the run-time error report on the desktop: Windows, and
// POSIX systems with glibc's backtrace and dladdr.

#include "platform/runtime_error_stack.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <execinfo.h>
#endif

namespace {
// Frames that can come before RuntimeError's caller: this unit's,
// the report's own, and a sanitizer's wrapper of backtrace.
constexpr int OwnFrames = 3;
// Windows XP and Server 2003 walk at most 62 frames.
static_assert(MaxReportFrames + OwnFrames <= 62);

#if defined(_WIN32)
std::uintptr_t ModuleBase(void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return 0;
    return reinterpret_cast<std::uintptr_t>(module);  // a module's handle is its load address
}
#else
std::uintptr_t ModuleBase(void* address)
{
    Dl_info info;
    return dladdr(address, &info) != 0 ? reinterpret_cast<std::uintptr_t>(info.dli_fbase) : 0;
}
#endif

#if defined(_WIN32)
int CaptureAll(void** frames, int most) { return RtlCaptureStackBackTrace(0, most, frames, nullptr); }
#else
int CaptureAll(void** frames, int most) { return backtrace(frames, most); }
#endif
}  // namespace

// noinline, so that its return address lies in ReportRuntimeError: the frame
// after the one that holds it is the caller's.
__attribute__((noinline)) int CaptureCallers(void** frames)
{
    void* const inReport = __builtin_return_address(0);
    void* all[MaxReportFrames + OwnFrames];
    const int depth = CaptureAll(all, MaxReportFrames + OwnFrames);
    int first = 0;
    while (first < depth && all[first] != inReport)
        ++first;
    first = first < depth ? first + 1 : std::min(depth, 2);  // not found: this frame and the report's
    const int callers = std::min(depth - first, MaxReportFrames);
    std::copy_n(all + first, callers, frames);
    return callers;
}

// Modules are far smaller than 4 GiB, so 32 bits hold the offset.
std::uint32_t ModuleOffset(void* address)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - ModuleBase(address));
}

int ReportedErrorNumber(int errorNumber) { return errorNumber; }
