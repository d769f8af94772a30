// Feeds arbitrary bytes to the FB file core as a file and aborts when an
// index or shot invariant breaks.

#include "fuzzinput.h"
#include "fbfilecheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileInput(data, size, "fbfile_fuzzer.fb", checkFbFile);
}
