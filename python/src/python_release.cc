#include "python_release.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#ifdef __GLIBCXX__
#include <cxxabi.h>
#endif

#include "batch/batch_run.h"
#include "drg/explain.h"
#include "file_grouping.h"
#include "line_text.h"
#include "parallel_lines.h"
#include "report/explanation_json.h"

namespace drg::python {
namespace {

PyObject* releaseErrorType = nullptr;  // lives as long as the interpreter

[[noreturn]] void raiseWithMessage(PyObject* type, const std::string& message) {
    // A message may quote a path with bytes that are not UTF-8.
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (!text) throw py::error_already_set();
    PyErr_SetObject(type, text);
    Py_DECREF(text);
    throw py::error_already_set();
}

[[noreturn]] void raiseReleaseError(const std::string& message) { raiseWithMessage(releaseErrorType, message); }

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

// Lets go of the interpreter lock for its lifetime. Once the interpreter has
// begun to shut down, it ends any other thread that takes the lock back by
// unwinding the thread's stack, which out of a destructor aborts the process
// ("terminate called without an active exception"): a program that exits
// while daemon threads group. Such a thread stops here instead, for good,
// holding no lock and touching no Python object, as the interpreter meant.
class LockLetGo {
public:
    LockLetGo() : state_(PyEval_SaveThread()) {}
    ~LockLetGo() {
#ifdef __GLIBCXX__
        try {
            PyEval_RestoreThread(state_);
        } catch (abi::__forced_unwind&) {
            for (;;) pause();
        }
#else
        PyEval_RestoreThread(state_);
#endif
    }
    LockLetGo(const LockLetGo&) = delete;
    LockLetGo& operator=(const LockLetGo&) = delete;

private:
    PyThreadState* state_;
};

std::shared_ptr<const Release> openedRelease(const std::string& directory) {
    OpenedRelease opened;
    {
        const LockLetGo unlocked;
        opened = openRelease(directory);
    }
    if (!opened.release) raiseReleaseError(directory + ": " + opened.reason);
    return opened.release;
}

// Python runs signal handlers (Ctrl-C's KeyboardInterrupt among them) in the
// main thread alone, and only while that thread holds the interpreter lock,
// which a long call lets go of while it groups. So on the main thread such a
// call takes the lock back now and then to run them; a handler that raises
// stops the call, and its exception is raised when the call ends.
class SignalWatch {
public:
    SignalWatch()
        : mainThread_(py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>() ==
                      PyThread_get_thread_ident()) {}

    // Called with the lock let go: false once a handler has raised.
    bool keepGoing() {
        if (!mainThread_ || raised_) return !raised_;
        const auto now = std::chrono::steady_clock::now();
        if (now < nextLook_) return true;
        nextLook_ = now + kInterval;
        const py::gil_scoped_acquire locked;
        raised_ = PyErr_CheckSignals() != 0;  // the exception stays set on this thread
        return !raised_;
    }

    // Called with the lock held.
    void raiseIfRaised() const {
        if (raised_) throw py::error_already_set();
    }

private:
    // Often enough for a key press, seldom enough that waiting for the lock
    // while another thread runs Python costs next to nothing.
    static constexpr std::chrono::milliseconds kInterval{50};
    bool mainThread_;
    bool raised_ = false;
    std::chrono::steady_clock::time_point nextLook_{};
};

constexpr int kMostJobs = 256;

int jobCount(std::optional<int> jobs) {
    if (!jobs) return batchWorkerCount(0);
    // As for drg group: more threads than that only take memory.
    if (*jobs < 1 || *jobs > kMostJobs) throw py::value_error("jobs must be from 1 to " + std::to_string(kMostJobs));
    return *jobs;
}

py::object text(const char* columns) { return linePyObject(columns, true); }

LineResult lineResult(const GroupResult& result, std::string_view line, bool asStr) {
    return {text(result.mdc), text(result.adrg), text(result.drg), result.pccl, linePyObject(line, asStr)};
}

// The lines of an iterable with their bytes, held alive in a tuple of their
// own, which no other thread can change while the lines are grouped.
struct LineList {
    py::object tuple;
    std::vector<std::string_view> bytes;
    std::vector<LineText> texts;
};

LineList lineList(const py::object& lines) {
    if (PyUnicode_Check(lines.ptr()) || PyBytes_Check(lines.ptr()))
        throw py::type_error("lines must be an iterable of lines, not one " +
                             std::string(Py_TYPE(lines.ptr())->tp_name) + "; group a single line with group()");
    // Iterated, a buffer of bytes gives ints, and the message would blame lines[0].
    if (PyByteArray_Check(lines.ptr()) || PyMemoryView_Check(lines.ptr()))
        throw py::type_error("lines must be an iterable of lines, not one " +
                             std::string(Py_TYPE(lines.ptr())->tp_name) + "; pass bytes(...) lines in a list");
    if (!PyObject_HasAttrString(lines.ptr(), "__iter__"))
        throw py::type_error("lines must be an iterable of str or bytes, not " +
                             std::string(Py_TYPE(lines.ptr())->tp_name));
    LineList list;
    PyObject* tuple = PySequence_Tuple(lines.ptr());
    if (!tuple) throw py::error_already_set();
    list.tuple = py::reinterpret_steal<py::object>(tuple);
    const Py_ssize_t count = PyTuple_GET_SIZE(tuple);
    list.bytes.reserve(static_cast<size_t>(count));
    list.texts.reserve(static_cast<size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        list.texts.push_back(lineText(PyTuple_GET_ITEM(tuple, i), static_cast<long>(i)));
        list.bytes.push_back(list.texts.back().bytes);
    }
    return list;
}

// A new list that takes over the references in `items`.
py::list listOf(std::vector<py::object>&& items) {
    py::list list(items.size());
    for (size_t i = 0; i < items.size(); ++i) PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), items[i].release().ptr());
    return list;
}

GroupedLines groupedInParallel(WorkerPool& pool, const LineList& lines, std::optional<int> jobs,
                               char* const* outputs) {
    const int threads = jobCount(jobs);
    SignalWatch watch;
    GroupedLines grouped;
    {
        const LockLetGo unlocked;
        grouped = groupLinesInParallel(pool, lines.bytes, threads, outputs, [&watch] { return watch.keepGoing(); });
    }
    watch.raiseIfRaised();
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

PythonRelease::PythonRelease(const py::object& path)
    : path_(pathBytes(path)), pool_(openedRelease(path_)), tableFiles_(releaseFilesIn(path_)) {}

py::object PythonRelease::path() const { return py::module_::import("os").attr("fsdecode")(py::bytes(path_)); }

LineResult PythonRelease::group(const py::object& line) {
    const LineText input = lineText(line);
    std::string output;
    GroupResult result;
    GroupStatus status;
    {
        const LockLetGo unlocked;
        WorkerPool::Lease worker = pool_.lease();
        status = worker->groupLine(input.bytes, output, &result);
    }
    if (status != GroupStatus::Ok) raiseRefused(*pool_.release());
    return lineResult(result, output, input.isStr);
}

py::list PythonRelease::groupLines(const py::object& lines, std::optional<int> jobs) {
    const LineList input = lineList(lines);
    const size_t count = input.texts.size();
    std::vector<OutputLine> output;
    std::vector<char*> targets;
    output.reserve(count);
    targets.reserve(count);
    for (const LineText& line : input.texts) {
        output.push_back(newOutputLine(line));
        targets.push_back(output.back().bytes);
    }
    groupedInParallel(pool_, input, jobs, targets.data());
    std::vector<py::object> finished(count);
    for (size_t i = 0; i < count; ++i) finished[i] = finishedLine(std::move(output[i]));
    return listOf(std::move(finished));
}

py::dict PythonRelease::groupColumns(const py::object& lines, std::optional<int> jobs) {
    const LineList input = lineList(lines);
    const GroupedLines grouped = groupedInParallel(pool_, input, jobs, nullptr);
    const size_t count = grouped.results.size();
    std::vector<py::object> mdc(count), adrg(count), pccl(count), drg(count);
    for (size_t i = 0; i < count; ++i) {
        const GroupResult& result = grouped.results[i];
        mdc[i] = text(result.mdc);
        adrg[i] = text(result.adrg);
        pccl[i] = py::int_(result.pccl);
        drg[i] = text(result.drg);
    }
    py::dict columns;
    columns["mdc"] = listOf(std::move(mdc));
    columns["adrg"] = listOf(std::move(adrg));
    columns["pccl"] = listOf(std::move(pccl));
    columns["drg"] = listOf(std::move(drg));
    return columns;
}

py::object PythonRelease::explain(const py::object& line, long lineNumber) {
    const LineText input = lineText(line);
    std::string json;
    {
        const LockLetGo unlocked;
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
    SignalWatch watch;
    FileGroupingOutcome outcome;
    {
        const LockLetGo unlocked;
        outcome = python::groupFile(*pool_.release(), tableFiles_, inputPath, outputPath, threads,
                                    [&watch] { return watch.keepGoing(); });
    }
    watch.raiseIfRaised();  // before any other complaint: the handler's exception is set
    switch (outcome.end) {
    case FileGroupingEnd::Complete: return outcome.records;
    case FileGroupingEnd::InputNotOpened: raiseFileError(outcome.error, input);
    case FileGroupingEnd::ReadFailed:
        // A read that failed without an error number: the file was cut short while it was read.
        if (outcome.error == 0) raiseWithMessage(PyExc_OSError, "input " + inputPath + " was cut short while it was read");
        raiseFileError(outcome.error, input);
    case FileGroupingEnd::OutputIsInput:
        raiseWithMessage(PyExc_ValueError,
                         "output " + outputPath + " is the input: writing it would empty it before it is read");
    case FileGroupingEnd::OutputIsTableFile:
        raiseWithMessage(PyExc_ValueError, "output " + outputPath + " is table file " + outcome.tableFile +
                                               " of the release in " + path_ + ": writing it would spoil the release");
    case FileGroupingEnd::OutputNotOpened:
    case FileGroupingEnd::WriteFailed: raiseFileError(outcome.error, output);
    case FileGroupingEnd::Refused: raiseRefused(*pool_.release());
    case FileGroupingEnd::Stopped: break;  // only when a handler raised, above
    }
    return outcome.records;
}

}  // namespace drg::python
