#include "platform/runtime_error.h"

#include "platform/program_end.h"
#include "platform/runtime_error_stack.h"

#include <cstdio>

void (*const volatile RuntimeErrorReport)(int) = ReportRuntimeError;

namespace {
// Through a pointer for the same reason: the capture's own frame is the
// first, the report's the second.
int (*const volatile CaptureCallersOfReport)(void**) = CaptureCallers;
}  // namespace

// noinline: the platform's stack capture looks for this function's frame.
__attribute__((noinline)) void ReportRuntimeError(int errorNumber)
{
    const int reported = ReportedErrorNumber(errorNumber);
    void* frames[MaxReportFrames];
    const int depth = CaptureCallersOfReport(frames);
    std::printf("Runtime error %d at 0x%08X\n", reported, depth > 0 ? static_cast<unsigned>(ModuleOffset(frames[0])) : 0u);
    for (int i = 1; i < depth; ++i)
        std::printf("0x%08X\n", static_cast<unsigned>(ModuleOffset(frames[i])));
    std::printf("\n");
    std::fflush(stdout);
    // Not _exit: the atexit handler that restores the display mode must
    // still run. Nothing else of the shutdown does.
    EndProgram(reported);
}
