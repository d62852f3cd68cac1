// libFuzzer target; the checks live in ParserDrivers.h, shared with the regression test.
#include "ParserDrivers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ombrix::fuzz::iniDriver(data, size);
    return 0;
}
