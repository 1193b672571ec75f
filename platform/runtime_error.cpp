#include "platform/runtime_error.h"

#include "platform/runtime_error_stack.h"

#include <cstdio>
#include <cstdlib>

// noinline: the return address must be that of the failed check itself.
__attribute__((noinline)) void RuntimeError(int errorNumber)
{
    const int reported = ReportedErrorNumber(errorNumber);
    void* const caller = __builtin_return_address(0);
    std::printf("Runtime error %d at 0x%08X\n", reported, static_cast<unsigned>(ModuleOffset(caller)));

    void* frames[MaxReportFrames];
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
    std::exit(reported);
}
