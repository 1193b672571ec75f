#pragma once
// The fatal report for a failed file operation, shared by the whole program.

// Writes "Runtime error <errorNumber> at 0x<address>" to standard output,
// where the address is the caller's return address as an offset into its
// module (8 upper-case hex digits), then one "0x<address>" line per return
// address further up the call stack, then an empty line, and ends the
// process with exit code errorNumber. Runs none of the shutdown steps.
[[noreturn]] void RuntimeError(int errorNumber);
