// The call stack of the run-time error report on the page. There is no
// backtrace or dladdr there: the stack comes from the browser's own trace,
// whose WebAssembly frames carry offsets into the page's one module. The
// trace also holds the toolchain's JavaScript (the trampolines of C++
// exceptions among them), which is left out. The report and this capture are
// reached only through pointers (runtime_error.h), which no optimizer can
// inline, so the first two WebAssembly frames are theirs, whatever the
// link-time optimizer did with the rest.
//
// The page's C library numbers errors its own way (ENOENT is 44), so the
// report gives the numbers the desktop's would (2 for a missing file), and
// the program ends with the same code.

#include "platform/runtime_error_stack.h"

#include <emscripten.h>

#include <cerrno>
#include <cstdint>

namespace {
// This capture's frame and the report's.
constexpr int OwnFrames = 2;

// Fills frames with the code offsets of the trace's WebAssembly frames,
// leaving out the first `skip`. Returns how many.
EM_JS(int, TraceWasmFrames, (std::uint32_t* frames, int most, int skip), {
    var limit = Error.stackTraceLimit;
    Error.stackTraceLimit = Infinity;
    var lines = new Error().stack.split(String.fromCharCode(10));
    Error.stackTraceLimit = limit;
    var count = 0;
    // A WebAssembly frame reads "...wasm-function[INDEX]:0xOFFSET..." in
    // Chromium and "...wasm-function[INDEX]:0xOFFSET" or "@...:0xOFFSET" in
    // the others: the offset follows ":0x". (No regular expression: the
    // toolchain mangles backslashes in this code.)
    for (var i = 0; i < lines.length && count < most; ++i) {
        var line = lines[i];
        var at = line.indexOf('wasm-function[');
        if (at < 0)
            continue;
        var offset = line.indexOf(':0x', at);
        if (offset < 0)
            continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        HEAPU32[(frames >> 2) + count++] = parseInt(line.slice(offset + 3), 16);
    }
    return count;
});

struct ErrorNumber {
    int page, desktop;
};
// The errors a file's open, seek, read or close can give.
constexpr ErrorNumber DesktopErrorNumbers[] = {
    {EPERM, 1},   {ENOENT, 2},  {EINTR, 4},    {EIO, 5},     {ENXIO, 6},   {EBADF, 9},
    {EAGAIN, 11}, {ENOMEM, 12}, {EACCES, 13},  {ENODEV, 19}, {ENOTDIR, 20}, {EISDIR, 21},
    {EINVAL, 22}, {ENFILE, 23}, {EMFILE, 24},  {EFBIG, 27},  {ESPIPE, 29},
};
}  // namespace

int CaptureCallers(void** frames)
{
    std::uint32_t offsets[MaxReportFrames];
    const int count = TraceWasmFrames(offsets, MaxReportFrames, OwnFrames);
    for (int i = 0; i < count; ++i)
        frames[i] = reinterpret_cast<void*>(static_cast<std::uintptr_t>(offsets[i]));
    return count;
}

std::uint32_t ModuleOffset(void* address) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address)); }

int ReportedErrorNumber(int errorNumber)
{
    for (const ErrorNumber& number : DesktopErrorNumbers)
        if (number.page == errorNumber)
            return number.desktop;
    return errorNumber;
}
