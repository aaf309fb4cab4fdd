// drg._drg: the grouper for Python. The package drg re-exports it and adds
// the pandas side.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "line_text.h"
#include "python_release.h"

namespace py = pybind11;
using drg::python::LineResult;
using drg::python::PythonRelease;

// `self` as a method receives it, not yet taken for a T: constructed()
// below checks it first. Signatures still name the class.
template <class T>
struct Self {
    py::handle object;
};

// `jobs` as the caller passed it, read by jobsOption below: pybind11's own
// message for an argument it cannot convert repeats every argument of the
// call, which for group_lines is every line of the input.
struct JobsArgument {
    py::handle object;
};

namespace pybind11::detail {
template <class T>
struct type_caster<Self<T>> {
    PYBIND11_TYPE_CASTER(Self<T>, make_caster<T>::name);
    bool load(handle source, bool) {
        value.object = source;
        return true;
    }
    static handle cast(const Self<T>& self, return_value_policy, handle) { return self.object.inc_ref(); }
};

template <>
struct type_caster<JobsArgument> {
    PYBIND11_TYPE_CASTER(JobsArgument, const_name("Optional[int]"));
    bool load(handle source, bool) {
        value.object = source;
        return true;
    }
    static handle cast(const JobsArgument& jobs, return_value_policy, handle) { return jobs.object.inc_ref(); }
};
}  // namespace pybind11::detail

namespace {

// None, or any int (also one with __index__, as numpy's); an int beyond a C
// int is clamped, which the range check of the call then refuses.
std::optional<int> jobsOption(JobsArgument jobs) {
    PyObject* value = jobs.object.ptr();
    if (value == Py_None) return std::nullopt;
    if (!PyIndex_Check(value))
        throw py::type_error(std::string("jobs must be an int or None, not ") + Py_TYPE(value)->tp_name);
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(value));
    if (!number) throw py::error_already_set();
    int overflow = 0;
    const long long n = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0) return overflow < 0 ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp<long long>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

constexpr const char* kLinesNote =
    "A line is str or bytes. bytes are taken as they are; a str is taken as Latin-1, one byte per "
    "character U+0000 to U+00FF (ValueError for any other character), so that every byte of a record "
    "survives the round trip. An output line has the type of its input line and keeps its line end "
    "(\"\\n\" or \"\\r\\n\") if it had one. A line with a line break anywhere but at its end "
    "holds more than one record: ValueError.";

std::string withLinesNote(const char* text) { return std::string(text) + "\n\n" + kLinesNote; }

std::string repr(const py::object& value) { return py::repr(value); }

// The C++ object of `self`. An instance made with __new__ alone
// (drg.Release.__new__(drg.Release)) has none, and pybind11 would hand a
// method raw memory in its place: every method and property reaches its
// object through this check instead.
template <class T>
T& constructed(Self<T> checked, const char* typeName) {
    const py::handle self = checked.object;
    if (!py::isinstance<T>(self)) throw py::type_error(std::string("expected a drg.") + typeName);
    auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
    const auto holder = instance->get_value_and_holder(py::detail::get_type_info(typeid(T)), false);
    if (!holder.inst || !holder.value_ptr() || !holder.holder_constructed())
        throw py::type_error(std::string("this drg.") + typeName + " was made without __init__ and holds nothing");
    return *holder.template value_ptr<T>();
}

using ResultSelf = Self<LineResult>;
using ReleaseSelf = Self<PythonRelease>;

LineResult& result(ResultSelf self) { return constructed<LineResult>(self, "GroupResult"); }
PythonRelease& release(ReleaseSelf self) { return constructed<PythonRelease>(self, "Release"); }

// A result pickles (and copies) as its five values; what unpickles must
// hold their types, and a pccl the field can hold.
py::tuple resultState(ResultSelf self) {
    const LineResult& r = result(self);
    return py::make_tuple(r.mdc, r.adrg, r.pccl, r.drg, r.line);
}

LineResult resultFromState(const py::tuple& state) {
    const bool texts = state.size() == 5 && py::isinstance<py::str>(state[0]) && py::isinstance<py::str>(state[1]) &&
                       py::isinstance<py::int_>(state[2]) && py::isinstance<py::str>(state[3]) &&
                       (py::isinstance<py::str>(state[4]) || py::isinstance<py::bytes>(state[4]));
    if (!texts) throw py::type_error("a GroupResult state is (mdc, adrg, pccl, drg, line)");
    // Any Python int passes the type test; one the field cannot hold is a
    // wrong value, said as such (a failed cast would say nothing of where).
    int overflow = 0;
    const long long pccl = PyLong_AsLongLongAndOverflow(state[2].ptr(), &overflow);
    if (pccl == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow || pccl < std::numeric_limits<int>::min() || pccl > std::numeric_limits<int>::max())
        throw py::value_error(
            "pccl in a GroupResult state is out of range: it must fit a C int (the levels are 0 to 4)");
    LineResult r;
    r.mdc = state[0];
    r.adrg = state[1];
    r.pccl = static_cast<int>(pccl);
    r.drg = state[3];
    r.line = state[4];
    return r;
}

}  // namespace

PYBIND11_MODULE(_drg, m) {
    m.doc() = "The DRG grouper's extension module; use it through the package drg.";
    drg::python::registerReleaseError(m);

    py::class_<LineResult>(m, "GroupResult",
                           "The result of one record: its MDC, ADRG, PCCL and DRG, as written into the record, "
                           "and the output line.")
        .def_property_readonly("mdc", [](ResultSelf self) { return result(self).mdc; },
                               "The MDC text (3 characters), \"000\" when none was found.")
        .def_property_readonly("adrg", [](ResultSelf self) { return result(self).adrg; },
                               "The ADRG text (4 characters), \"0000\" when none was found.")
        .def_property_readonly("pccl", [](ResultSelf self) { return result(self).pccl; },
                               "The patient clinical complexity level, 0 to 4.")
        .def_property_readonly("drg", [](ResultSelf self) { return result(self).drg; },
                               "The DRG code (6 characters), \"000000\" when none was found.")
        .def_property_readonly("line", [](ResultSelf self) { return result(self).line; },
                               "The output line: exactly what drg-batch writes for the input line, of the input's "
                               "type.")
        .def(py::pickle(&resultState, &resultFromState))
        .def("__repr__", [](ResultSelf self) {
            const LineResult& r = result(self);
            return "GroupResult(mdc=" + repr(r.mdc) + ", adrg=" + repr(r.adrg) +
                   ", pccl=" + std::to_string(r.pccl) + ", drg=" + repr(r.drg) + ")";
        });

    py::class_<PythonRelease>(m, "Release",
                              "The 22 table files of one classification release, opened once.\n\n"
                              "A release never changes after it is opened: any number of threads may group "
                              "with one release at the same time. Every call takes a worker of its own and "
                              "lets go of the interpreter lock while it groups.")
        .def(py::init<const py::object&>(), py::arg("path"),
             "Opens the release in the folder `path` (str, bytes or os.PathLike).\n\n"
             "Raises drg.ReleaseError naming the file and the field at fault when a table file is missing, "
             "short, unreadable, holds out-of-bounds values or disagrees with another file's counts.")
        .def_property_readonly("path", [](ReleaseSelf self) { return release(self).path(); },
                               "The folder the release was opened from.")
        .def("group", [](ReleaseSelf self, const py::object& line) { return release(self).group(line); },
             py::arg("line"),
             withLinesNote("Groups one record line and returns its GroupResult.\n\n"
                           "Raises drg.ReleaseError when the release refuses records (its condition kinds "
                           "disagree with the grouper's derived conditions).")
                 .c_str())
        .def("group_lines",
             [](ReleaseSelf self, const py::object& lines, JobsArgument jobs) {
                 return release(self).groupLines(lines, jobsOption(jobs));
             },
             py::arg("lines"), py::arg("jobs") = py::none(),
             withLinesNote("Groups an iterable of record lines on `jobs` threads (1 to 256; default: one per "
                           "core, at most 16) and returns the output lines in input order.\n\n"
                           "Joined, the output lines are the bytes drg-batch writes for the joined input "
                           "lines, when each input line but the last ends with its line end.")
                 .c_str())
        .def("group_columns",
             [](ReleaseSelf self, const py::object& lines, JobsArgument jobs) {
                 return release(self).groupColumns(lines, jobsOption(jobs));
             },
             py::arg("lines"), py::arg("jobs") = py::none(),
             withLinesNote("Groups an iterable of record lines as group_lines does and returns the results "
                           "as columns: a dict with the lists \"mdc\", \"adrg\", \"pccl\" and \"drg\", one "
                           "entry per line in input order.")
                 .c_str())
        .def("explain",
             [](ReleaseSelf self, const py::object& line, long lineNumber) {
                 return release(self).explain(line, lineNumber);
             },
             py::arg("line"), py::arg("line_number") = 1,
             withLinesNote("Groups one record line and tells how its result came about: the JSON object of "
                           "the explain report for one record, as a dict (line_number is its \"line\" "
                           "value). Text fields that are not UTF-8 are given byte for byte as Latin-1 "
                           "characters.")
                 .c_str())
        .def("group_file",
             [](ReleaseSelf self, const py::object& input, const py::object& output, JobsArgument jobs) {
                 return release(self).groupFile(input, output, jobsOption(jobs));
             },
             py::arg("input"), py::arg("output"),
             py::arg("jobs") = py::none(),
             "Groups the record file `input` into the file `output` on `jobs` threads (1 to 256; default: "
             "one per core, at most 16), streaming, and returns the number of records grouped.\n\n"
             "The output is byte for byte what drg-batch writes for the same input. Raises OSError naming the "
             "file when a file cannot be opened, read or written, ValueError when `output` is `input` (also "
             "through another link: it would be emptied before it is read) or a table file of this release "
             "(also through another link, and whatever the working directory, the folder's name now or a new "
             "build in it: it would spoil the release), and drg.ReleaseError when the release "
             "refuses every record. Neither ValueError nor drg.ReleaseError opens anything for writing, so an "
             "old output is left as it was. A signal handler that raises (Ctrl-C: KeyboardInterrupt) stops it, "
             "with the output holding the records grouped before.")
        .def("__repr__", [](ReleaseSelf self) { return "drg.Release(" + repr(release(self).path()) + ")"; });
}
