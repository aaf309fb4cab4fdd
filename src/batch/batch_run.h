#pragma once
// The batch run: "valtic.in" to "valtic.out" in one directory, with the
// tables loaded from the same directory.

#include <string>

namespace drg {

inline constexpr int kExitComplete = 1;  // callers rely on 1 meaning a complete run
inline constexpr int kExitFailed = 0;

// Runs the whole job and returns the exit status. Console lines go to
// standard output exactly as the callers expect; a load problem is also
// explained in one line on standard error.
int runBatch(const std::string& directory = ".");

}  // namespace drg
