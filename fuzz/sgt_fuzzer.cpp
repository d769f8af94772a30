// Feeds arbitrary bytes to the library as a picks file of the unified data
// format (.sgt), imported into an FB file, and aborts when what must hold
// for any such file breaks.

#include "fuzzinput.h"
#include "textinputcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileInput(data, size, "sgt_fuzzer.sgt", checkSgtImport);
}
