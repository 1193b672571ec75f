// The call stack of the run-time error report on the page. There is no
// backtrace or dladdr there: the toolchain reads the stack from the
// browser's own trace of the WebAssembly frames, whose addresses are
// already offsets into the page's one module. Its C library numbers errors
// its own way (ENOENT is 44), so the report gives the numbers the desktop's
// would (2 for a missing file), and the page ends with the same code.

#include "platform/runtime_error_stack.h"

#include <cerrno>
#include <cstdint>

extern "C" {
std::uintptr_t emscripten_stack_snapshot();
std::uint32_t emscripten_stack_unwind_buffer(std::uintptr_t pc, std::uintptr_t* buffer, std::uint32_t depth);
}

namespace {
struct ErrorNumber {
    int page, desktop;
};
// The errors a file's open, seek, read or close can give.
constexpr ErrorNumber DesktopErrorNumbers[] = {
    {EPERM, 1},  {ENOENT, 2},  {EINTR, 4},   {EIO, 5},     {ENXIO, 6},   {EBADF, 9},   {EAGAIN, 11},
    {ENOMEM, 12}, {EACCES, 13}, {ENODEV, 19}, {ENOTDIR, 20}, {EISDIR, 21}, {EINVAL, 22}, {ENFILE, 23},
    {EMFILE, 24}, {EFBIG, 27},  {ESPIPE, 29},
};
}  // namespace

__attribute__((noinline)) int CaptureStack(void** frames)
{
    std::uintptr_t pcs[MaxReportFrames];
    const std::uint32_t depth = emscripten_stack_unwind_buffer(emscripten_stack_snapshot(), pcs, MaxReportFrames);
    for (std::uint32_t i = 0; i < depth; ++i)
        frames[i] = reinterpret_cast<void*>(pcs[i]);
    return static_cast<int>(depth);
}

std::uint32_t ModuleOffset(void* address) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address)); }

int ReportedErrorNumber(int errorNumber)
{
    for (const ErrorNumber& number : DesktopErrorNumbers)
        if (number.page == errorNumber)
            return number.desktop;
    return errorNumber;
}
