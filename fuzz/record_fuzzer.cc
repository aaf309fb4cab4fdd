// libFuzzer entry: the input grouped as one record against a small release.
#include <cstdio>
#include <cstdlib>

#include "harness/record_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const drg::fuzz::FuzzOutcome outcome = drg::fuzz::runRecord(data, size);
    if (!outcome.fault.empty()) {
        std::fprintf(stderr, "fault: %s\n", outcome.fault.c_str());
        std::abort();
    }
    return 0;
}
