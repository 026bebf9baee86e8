// dmp_crasher segv|abort: installs the crash-dump collector in the current directory, prints the
// dump path it will use, then crashes the named way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VDmpCollect.h"

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    installDumpCollector();
    std::printf("%s\n", VDmpCollect::instance()->dumpPath().c_str());
    std::fflush(stdout);
    if (std::strcmp(argv[1], "abort") == 0)
        std::abort();
    // A real access fault, but not through a null pointer: sanitized builds stop at a null
    // store on their own, before the collector could see the fault.
    volatile std::uintptr_t nowhere = 16;
    *reinterpret_cast<volatile int *>(nowhere) = 42;
    return 0;
}
