// Feeds arbitrary bytes to the trace library's readers (SEG-Y and SEG-2) as
// a file and as a folder of one file, and aborts when an invariant breaks.

#include "fuzzinput.h"
#include "tracecheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileInput(data, size, "tracefile_fuzzer.dat", checkTraceFile);
}
