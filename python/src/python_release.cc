#include "python_release.h"

#include <vector>

#include "batch/batch_run.h"
#include "drg/explain.h"
#include "file_grouping.h"
#include "line_text.h"
#include "parallel_lines.h"
#include "report/explanation_json.h"

namespace drg::python {
namespace {

PyObject* releaseErrorType = nullptr;  // lives as long as the interpreter

[[noreturn]] void raiseReleaseError(const std::string& message) {
    // A reason may quote a path with bytes that are not UTF-8.
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (!text) throw py::error_already_set();
    PyErr_SetObject(releaseErrorType, text);
    Py_DECREF(text);
    throw py::error_already_set();
}

[[noreturn]] void raiseRefused(const Release& release) {
    std::string reason;
    releaseGroupsRecords(release, &reason);
    raiseReleaseError("the release refuses every record: " + reason);
}

// OSError of the right kind (FileNotFoundError, PermissionError, ...).
[[noreturn]] void raiseFileError(int error, py::handle path) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
}

std::shared_ptr<const Release> openedRelease(const std::string& directory) {
    OpenedRelease opened;
    {
        py::gil_scoped_release unlocked;
        opened = openRelease(directory);
    }
    if (!opened.release) raiseReleaseError(directory + ": " + opened.reason);
    return opened.release;
}

int jobCount(std::optional<int> jobs) {
    if (!jobs) return batchWorkerCount(0);
    if (*jobs < 1) throw py::value_error("jobs must be at least 1");
    return *jobs;
}

py::object text(const char* columns) { return linePyObject(columns, true); }

LineResult lineResult(const GroupResult& result, std::string_view line, bool asStr) {
    return {text(result.mdc), text(result.adrg), text(result.drg), result.pccl, linePyObject(line, asStr)};
}

// The lines of an iterable, held alive, with their bytes.
struct LineList {
    std::vector<py::object> objects;
    std::vector<std::string_view> bytes;
    std::vector<bool> isStr;
};

LineList lineList(py::handle lines) {
    if (PyUnicode_Check(lines.ptr()) || PyBytes_Check(lines.ptr()))
        throw py::type_error("lines must be an iterable of lines, not one " +
                             std::string(Py_TYPE(lines.ptr())->tp_name) + "; group a single line with group()");
    PyObject* iterator = PyObject_GetIter(lines.ptr());
    if (!iterator) {
        PyErr_Clear();
        throw py::type_error("lines must be an iterable of str or bytes, not " +
                             std::string(Py_TYPE(lines.ptr())->tp_name));
    }
    const py::iterator items = py::reinterpret_steal<py::iterator>(iterator);
    LineList list;
    for (py::handle item : items) {
        const std::string what = "lines[" + std::to_string(list.objects.size()) + "]";
        const LineText line = lineText(item, what.c_str());
        list.objects.push_back(py::reinterpret_borrow<py::object>(item));
        list.bytes.push_back(line.bytes);
        list.isStr.push_back(line.isStr);
    }
    return list;
}

GroupedLines groupedInParallel(WorkerPool& pool, const LineList& lines, std::optional<int> jobs, bool keepOutput) {
    const int threads = jobCount(jobs);
    GroupedLines grouped;
    {
        py::gil_scoped_release unlocked;
        grouped = groupLinesInParallel(pool, lines.bytes, threads, keepOutput);
    }
    if (grouped.refused) raiseRefused(*pool.release());
    return grouped;
}

}  // namespace

void registerReleaseError(py::module_& module) {
    releaseErrorType = PyErr_NewExceptionWithDoc(
        "drg.ReleaseError",
        "A release that cannot be opened (the message names the file and the field at fault), "
        "or one whose records are all refused.",
        nullptr, nullptr);
    if (!releaseErrorType) throw py::error_already_set();
    module.add_object("ReleaseError", py::handle(releaseErrorType));
}

PythonRelease::PythonRelease(const py::object& path) : path_(pathBytes(path)), pool_(openedRelease(path_)) {}

py::object PythonRelease::path() const { return py::module_::import("os").attr("fsdecode")(py::bytes(path_)); }

LineResult PythonRelease::group(const py::object& line) {
    const LineText input = lineText(line, "line");
    std::string output;
    GroupResult result;
    GroupStatus status;
    {
        py::gil_scoped_release unlocked;
        WorkerPool::Lease worker = pool_.lease();
        status = worker->groupLine(input.bytes, output, &result);
    }
    if (status != GroupStatus::Ok) raiseRefused(*pool_.release());
    return lineResult(result, output, input.isStr);
}

py::list PythonRelease::groupLines(const py::object& lines, std::optional<int> jobs) {
    const LineList input = lineList(lines);
    const GroupedLines grouped = groupedInParallel(pool_, input, jobs, true);
    py::list output(input.objects.size());
    size_t begin = 0;
    for (size_t i = 0; i < input.objects.size(); ++i) {
        const size_t end = grouped.ends[i];
        output[i] = linePyObject(std::string_view(grouped.output.data() + begin, end - begin), input.isStr[i]);
        begin = end;
    }
    return output;
}

py::dict PythonRelease::groupColumns(const py::object& lines, std::optional<int> jobs) {
    const LineList input = lineList(lines);
    const GroupedLines grouped = groupedInParallel(pool_, input, jobs, false);
    const size_t count = grouped.results.size();
    py::list mdc(count), adrg(count), pccl(count), drg(count);
    for (size_t i = 0; i < count; ++i) {
        const GroupResult& result = grouped.results[i];
        mdc[i] = text(result.mdc);
        adrg[i] = text(result.adrg);
        pccl[i] = py::int_(result.pccl);
        drg[i] = text(result.drg);
    }
    py::dict columns;
    columns["mdc"] = mdc;
    columns["adrg"] = adrg;
    columns["pccl"] = pccl;
    columns["drg"] = drg;
    return columns;
}

py::object PythonRelease::explain(const py::object& line, long lineNumber) {
    const LineText input = lineText(line, "line");
    std::string json;
    {
        py::gil_scoped_release unlocked;
        WorkerPool::Lease worker = pool_.lease();
        Explanation explanation;
        worker->explainLine(input.bytes, explanation);
        json = report::dumpLine(report::explanationJson(explanation, lineNumber));
    }
    return py::module_::import("json").attr("loads")(py::str(json));
}

uint64_t PythonRelease::groupFile(const py::object& input, const py::object& output, std::optional<int> jobs) {
    const std::string inputPath = pathBytes(input), outputPath = pathBytes(output);
    const int threads = jobCount(jobs);
    FileGroupingOutcome outcome;
    {
        py::gil_scoped_release unlocked;
        outcome = python::groupFile(*pool_.release(), inputPath, outputPath, threads);
    }
    switch (outcome.end) {
    case FileGroupingEnd::Complete: return outcome.records;
    case FileGroupingEnd::InputNotOpened:
    case FileGroupingEnd::ReadFailed: raiseFileError(outcome.error, input);
    case FileGroupingEnd::OutputNotOpened:
    case FileGroupingEnd::WriteFailed: raiseFileError(outcome.error, output);
    case FileGroupingEnd::Refused: raiseRefused(*pool_.release());
    }
    return outcome.records;
}

}  // namespace drg::python
