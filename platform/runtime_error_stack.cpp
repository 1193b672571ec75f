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
// The frames of CaptureCallers and RuntimeError, which come first: neither
// is inlined (separate units, noinline).
constexpr int OwnFrames = 2;
// Windows XP and Server 2003 walk at most 62 frames, skipped ones included.
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
}  // namespace

#if defined(_WIN32)
__attribute__((noinline)) int CaptureCallers(void** frames)
{
    return RtlCaptureStackBackTrace(OwnFrames, MaxReportFrames, frames, nullptr);
}
#else
__attribute__((noinline)) int CaptureCallers(void** frames)
{
    void* all[MaxReportFrames + OwnFrames];
    const int depth = backtrace(all, MaxReportFrames + OwnFrames);
    const int callers = std::max(depth - OwnFrames, 0);
    std::copy_n(all + OwnFrames, callers, frames);
    return callers;
}
#endif

// Modules are far smaller than 4 GiB, so 32 bits hold the offset.
std::uint32_t ModuleOffset(void* address)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - ModuleBase(address));
}

int ReportedErrorNumber(int errorNumber) { return errorNumber; }
