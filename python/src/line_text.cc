#include "line_text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace drg::python {
namespace {

std::string lineName(long index) { return index < 0 ? "line" : "lines[" + std::to_string(index) + "]"; }

bool allAscii(const char* bytes, size_t size) {
    return std::all_of(bytes, bytes + size, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A line break before the end would make the rest records of their own,
// which the grouper would pass through ungrouped. "\r" alone is no line
// break: the batch program does not split on it either.
LineText oneLine(LineText text, long index) {
    const std::string_view bytes = text.bytes;
    if (bytes.size() > 1 && std::memchr(bytes.data(), '\n', bytes.size() - 1))
        throw py::value_error(lineName(index) +
                              " holds more than one line: a line break (\"\\n\") before its end; give each "
                              "record as a line of its own");
    return text;
}

}  // namespace

LineText lineText(py::handle line, long index) {
    PyObject* object = line.ptr();
    if (PyBytes_Check(object))
        return oneLine({std::string_view(PyBytes_AS_STRING(object), static_cast<size_t>(PyBytes_GET_SIZE(object)))},
                       index);
    if (PyUnicode_Check(object)) {
        if (PyUnicode_READY(object) != 0) throw py::error_already_set();
        // A str whose characters all fit one byte is stored as exactly those
        // Latin-1 bytes; any wider storage means a character beyond U+00FF.
        if (PyUnicode_KIND(object) != PyUnicode_1BYTE_KIND)
            throw py::value_error(lineName(index) +
                                  " has a character beyond U+00FF: a str line is taken as Latin-1, one byte "
                                  "per character; pass bytes for other encodings");
        const auto* data = static_cast<const char*>(PyUnicode_DATA(object));
        return oneLine({std::string_view(data, static_cast<size_t>(PyUnicode_GET_LENGTH(object))), true,
                        PyUnicode_IS_ASCII(object) != 0},
                       index);
    }
    throw py::type_error(lineName(index) + " must be str or bytes, not " + Py_TYPE(object)->tp_name);
}

py::object linePyObject(std::string_view bytes, bool asStr) {
    PyObject* object = asStr ? PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr)
                             : PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!object) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

OutputLine newOutputLine(const LineText& input) {
    OutputLine line;
    line.size = Worker::groupedLength(input.bytes.data(), input.bytes.size());
    line.isStr = input.isStr;
    const auto size = static_cast<Py_ssize_t>(line.size);
    PyObject* object;
    if (input.isStr) {
        // Grouping upper-cases a to z only and writes the result columns, so
        // the output is ASCII when the input is, unless the release's texts
        // are not; finishedLine checks.
        line.ascii = input.isAscii;
        object = PyUnicode_New(size, line.ascii ? 0x7f : 0xff);
        if (object) line.bytes = reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(object));
    } else {
        object = PyBytes_FromStringAndSize(nullptr, size);
        if (object) line.bytes = PyBytes_AS_STRING(object);
    }
    if (!object) throw py::error_already_set();
    line.object = py::reinterpret_steal<py::object>(object);
    return line;
}

py::object finishedLine(OutputLine&& line) {
    if (line.isStr && allAscii(line.bytes, line.size) != line.ascii)
        return linePyObject(std::string_view(line.bytes, line.size), true);
    return std::move(line.object);
}

std::string pathBytes(py::handle path) {
    // os.fsencode takes str, bytes and os.PathLike and raises TypeError for anything else.
    const std::string encoded = py::bytes(py::module_::import("os").attr("fsencode")(path));
    if (encoded.find('\0') != std::string::npos) throw py::value_error("a path has a NUL byte");
    return encoded;
}

}  // namespace drg::python
