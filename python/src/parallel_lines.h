#pragma once
// Many lines grouped on several threads, each with a worker of its own, the
// results kept in input order.

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "drg/grouper.h"
#include "worker_pool.h"

namespace drg::python {

struct GroupedLines {
    std::vector<GroupResult> results;  // one per line
    bool refused = false;              // the release refused a record: the rest is incomplete
    bool stopped = false;              // keepGoing said no: the rest is incomplete
};

// Writes the output line of lines[i] to outputs[i], which has room for
// Worker::groupedLength of it; with no outputs, gives the results alone.
// Needs no interpreter lock: call it with the lock released. `lines` and
// `outputs` must stay valid until it returns. `keepGoing` is asked on the
// calling thread between its chunks of lines; false stops every thread.
GroupedLines groupLinesInParallel(WorkerPool& pool, const std::vector<std::string_view>& lines, int jobs,
                                  char* const* outputs, const std::function<bool()>& keepGoing);

}  // namespace drg::python
