// The call stack of the run-time error report on the desktop: Windows, and
// POSIX systems with glibc's backtrace and dladdr.

#include "platform/runtime_error_stack.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <execinfo.h>
#endif

namespace {
// Windows XP and Server 2003 walk at most 62 frames; no report needs more.
static_assert(MaxReportFrames <= 62);

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
int CaptureStack(void** frames) { return RtlCaptureStackBackTrace(0, MaxReportFrames, frames, nullptr); }
#else
int CaptureStack(void** frames) { return backtrace(frames, MaxReportFrames); }
#endif

// Modules are far smaller than 4 GiB, so 32 bits hold the offset.
std::uint32_t ModuleOffset(void* address)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address) - ModuleBase(address));
}

int ReportedErrorNumber(int errorNumber) { return errorNumber; }
