#pragma once
// The fatal report for a failed file operation, shared by the whole program.

// Writes "Runtime error <errorNumber> at 0x<address>" to standard output,
// where the address is the caller's return address as an offset into its
// module (8 upper-case hex digits), then one "0x<address>" line per return
// address further up the call stack, then an empty line, and ends the
// process with exit code errorNumber. Runs none of the shutdown steps.
[[noreturn]] void ReportRuntimeError(int errorNumber);

// The report is reached through this pointer, never called directly: no
// optimizer can then merge it into a caller (the page's link-time optimizer
// inlines a function called from one place), so the platform's stack capture
// knows that the report's own frame is the one below its own.
extern void (*const volatile RuntimeErrorReport)(int errorNumber);

// RuntimeError itself is always inlined: its caller's frame is the one that
// calls the report.
[[noreturn]] inline __attribute__((always_inline)) void RuntimeError(int errorNumber)
{
    RuntimeErrorReport(errorNumber);
    __builtin_unreachable();
}
