// One side of a comparison of two builds of the grouping core in one
// process. compare-builds.sh compiles this file and the core's sources of one
// revision with the core's namespace renamed (-Ddrg=...), so that both
// revisions link into one program, and names the two entry points after
// the side (COMPARE_SIDE).
#include <cstdio>
#include <memory>
#include <string>

#include "engine/record_grouping.h"
#include "engine/release.h"
#include "tables/table_loader.h"

#define COMPARE_JOIN2(side, name) side##_##name
#define COMPARE_JOIN(side, name) COMPARE_JOIN2(side, name)
#define COMPARE_ENTRY(name) COMPARE_JOIN(COMPARE_SIDE, name)

namespace {

struct Side {
    drg::Release release;
    drg::ClaimState state;
};

}  // namespace

// The release of `directory` with one claim state, or null (the problem on
// standard error).
extern "C" void* COMPARE_ENTRY(open)(const char* directory) {
    auto side = std::make_unique<Side>();
    std::string problem;
    if (drg::loadRelease(side->release, directory, &problem) != drg::kLoadOk) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return nullptr;
    }
    drg::initClaimState(side->state, side->release);
    return side.release();
}

// Groups one input line into `out`, as drg-batch does.
extern "C" int COMPARE_ENTRY(group)(void* opened, const char* line, size_t length, char* out) {
    Side& side = *static_cast<Side*>(opened);
    return drg::groupLine(side.state, side.release, line, length, out);
}
