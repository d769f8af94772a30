// Feeds arbitrary bytes to the QC pass as a file and aborts when one of its
// invariants breaks (see qcpasscheck.h).

#include "fuzzinput.h"
#include "qcpasscheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileInput(data, size, "qcpass_fuzzer.fb", checkQcPass);
}
