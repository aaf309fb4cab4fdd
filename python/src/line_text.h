#pragma once
// How record lines cross between Python and the grouper. Records are byte
// texts with fixed columns, so a line is taken as bytes: `bytes` as they are,
// a `str` as Latin-1, one byte per character U+0000 to U+00FF. Every byte has
// its character, so a str line comes back with every byte it went in with;
// UTF-8 would shift the columns behind any non-ASCII character.

#include <pybind11/pybind11.h>

#include "drg/grouper.h"

#include <cstddef>
#include <string_view>

namespace drg::python {

namespace py = pybind11;

// The bytes of one line, borrowed from a Python object that must outlive it.
struct LineText {
    std::string_view bytes;
    bool isStr = false;  // give the result back as str
    bool isAscii = false;  // a str of ASCII characters only
};

// Raises TypeError when `line` is neither str nor bytes, ValueError when a
// str has a character beyond U+00FF or the line holds a line break ("\n")
// anywhere but at its end. The message names the line "line", or
// "lines[index]" when an index is given.
LineText lineText(py::handle line, long index = -1);

// `bytes` as a str (Latin-1) or as bytes.
py::object linePyObject(std::string_view bytes, bool asStr);

// The output line of an input line, made empty before it is written, so that
// the grouper writes straight into the object: its bytes have room for
// Worker::groupedLength of the input. Finish it once written.
struct OutputLine {
    py::object object;
    char* bytes = nullptr;
    size_t size = 0;
    bool isStr = false;
    bool ascii = false;  // a str made in the ASCII form
};
OutputLine newOutputLine(const LineText& input);

// The line as Python may see it: a str in its one right form, ASCII or Latin-1,
// according to the bytes written.
py::object finishedLine(OutputLine&& line);

// A path argument (str, bytes or os.PathLike) as the bytes the system takes.
std::string pathBytes(py::handle path);

}  // namespace drg::python
