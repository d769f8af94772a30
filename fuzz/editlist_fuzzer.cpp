// Feeds arbitrary bytes to the library as an edits list (an edit log or a
// hand-made list), and aborts when what must hold for any such file breaks.

#include "fuzzinput.h"
#include "textinputcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileInput(data, size, "editlist_fuzzer.csv", checkEditList);
}
