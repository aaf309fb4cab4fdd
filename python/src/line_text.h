#pragma once
// How record lines cross between Python and the grouper. Records are byte
// texts with fixed columns, so a line is taken as bytes: `bytes` as they are,
// a `str` as Latin-1, one byte per character U+0000 to U+00FF. Every byte has
// its character, so a str line comes back with every byte it went in with;
// UTF-8 would shift the columns behind any non-ASCII character.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string_view>

namespace drg::python {

namespace py = pybind11;

// The bytes of one line, borrowed from a Python object that must outlive it.
struct LineText {
    std::string_view bytes;
    bool isStr = false;  // give the result back as str
};

// Raises TypeError when `line` is neither str nor bytes, ValueError when a
// str has a character beyond U+00FF. `what` names the line in the message.
LineText lineText(py::handle line, const char* what);

// `bytes` as a str (Latin-1) or as bytes.
py::object linePyObject(std::string_view bytes, bool asStr);

// A path argument (str, bytes or os.PathLike) as the bytes the system takes.
std::string pathBytes(py::handle path);

}  // namespace drg::python
