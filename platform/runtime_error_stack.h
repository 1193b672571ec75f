#pragma once
// The platform's part of the run-time error report (runtime_error.h): the
// call stack as code offsets, and the error number as the report gives it.
// One unit per platform: the desktop's (POSIX and Windows) and the page's.

#include <cstdint>

// Longest call stack a report shows.
constexpr int MaxReportFrames = 59;

// Return addresses of the calls that led to the report, from the one in
// RuntimeError's caller (the failed check) outwards; at most
// MaxReportFrames. Called by ReportRuntimeError itself, through a pointer,
// and nothing else. Returns
// how many.
int CaptureCallers(void** frames);

// A code address as an offset into the module that holds it: unlike the
// absolute address it stays the same from run to run and can be looked up
// in the binary.
std::uint32_t ModuleOffset(void* address);

// The number that the report shows and that the process ends with, for the
// C library's errno value: the system's own number.
int ReportedErrorNumber(int errorNumber);
