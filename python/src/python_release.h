#pragma once
// drg.Release: one opened release with the workers that group against it.
// Immutable once opened, so Python threads may share it; each call leases a
// worker of its own and lets go of the interpreter lock while it groups.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_grouping.h"
#include "worker_pool.h"

namespace drg::python {

namespace py = pybind11;

// drg.GroupResult: the result columns of one record and its output line.
struct LineResult {
    py::object mdc, adrg, drg;  // str, as written into the record
    int pccl = 0;
    py::object line;            // str or bytes, as the input line was
};

class PythonRelease {
public:
    explicit PythonRelease(const py::object& path);

    LineResult group(const py::object& line);
    py::list groupLines(const py::object& lines, std::optional<int> jobs);
    py::dict groupColumns(const py::object& lines, std::optional<int> jobs);
    py::object explain(const py::object& line, long lineNumber);
    uint64_t groupFile(const py::object& input, const py::object& output, std::optional<int> jobs);

    // The folder as given, as a str (os.fsdecode).
    py::object path() const;

private:
    std::string path_;  // as the system takes it
    WorkerPool pool_;
    ReleaseFiles tableFiles_;  // taken when opened: an output must never be one
};

// Registers drg.ReleaseError, raised for a release that cannot be opened and
// for records it refuses.
void registerReleaseError(py::module_& module);

}  // namespace drg::python
