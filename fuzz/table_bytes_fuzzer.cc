// libFuzzer entry: one table file of a small release replaced by the input.
#include <cstdio>
#include <cstdlib>

#include "harness/table_bytes_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const drg::fuzz::FuzzOutcome outcome = drg::fuzz::runTableBytes(data, size);
    if (!outcome.fault.empty()) {
        std::fprintf(stderr, "fault: %s\n", outcome.fault.c_str());
        std::abort();
    }
    return 0;
}
