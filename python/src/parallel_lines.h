#pragma once
// Many lines grouped on several threads, each with a worker of its own, the
// results kept in input order.

#include <cstddef>
#include <string_view>
#include <vector>

#include "drg/grouper.h"
#include "worker_pool.h"

namespace drg::python {

struct GroupedLines {
    std::vector<GroupResult> results;  // one per line
    std::vector<char> output;          // every output line in order, when asked for
    std::vector<size_t> ends;          // where each line's output ends in `output`
    bool refused = false;              // the release refused a record: the rest is incomplete
};

// Needs no interpreter lock: call it with the lock released. `lines` must
// stay valid until it returns.
GroupedLines groupLinesInParallel(WorkerPool& pool, const std::vector<std::string_view>& lines, int jobs,
                                  bool keepOutput);

}  // namespace drg::python
