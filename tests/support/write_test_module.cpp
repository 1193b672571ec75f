// write-test-module FILE ROWS: writes a tiny ProTracker module of ROWS rows
// (120 ms each) for the end-to-end tests.

#include "tools/make_standins/tiny_module.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: write-test-module FILE ROWS\n");
        return 2;
    }
    char* end = nullptr;
    long rows = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || rows < 1 || rows > 8192) {
        std::fprintf(stderr, "write-test-module: ROWS must be 1 to 8192\n");
        return 2;
    }
    if (!WriteTinyModule(argv[1], static_cast<int>(rows))) {
        std::fprintf(stderr, "write-test-module: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
