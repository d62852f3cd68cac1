// libFuzzer target of one parser, chosen by OMBRIX_FUZZ_DRIVER at build time; the checks live in
// ParserDrivers.h, shared with the regression test.
#include "ParserDrivers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ombrix::fuzz::OMBRIX_FUZZ_DRIVER(data, size);
    return 0;
}
