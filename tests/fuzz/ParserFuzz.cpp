// libFuzzer target of one parser, chosen by OMBRIX_FUZZ_DRIVER at build time; the checks live in
// the driver headers, shared with the regression tests.
#include "ParserDrivers.h"
#include "RemoteDrivers.h"
#include "SkinDrivers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ombrix::fuzz::OMBRIX_FUZZ_DRIVER(data, size);
    return 0;
}
