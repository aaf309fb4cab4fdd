#include "line_text.h"

#include <string>

namespace drg::python {

LineText lineText(py::handle line, const char* what) {
    PyObject* object = line.ptr();
    if (PyBytes_Check(object))
        return {std::string_view(PyBytes_AS_STRING(object), static_cast<size_t>(PyBytes_GET_SIZE(object))), false};
    if (PyUnicode_Check(object)) {
        if (PyUnicode_READY(object) != 0) throw py::error_already_set();
        // A str whose characters all fit one byte is stored as exactly those
        // Latin-1 bytes; any wider storage means a character beyond U+00FF.
        if (PyUnicode_KIND(object) != PyUnicode_1BYTE_KIND)
            throw py::value_error(std::string(what) +
                                  " has a character beyond U+00FF: a str line is taken as Latin-1, one byte "
                                  "per character; pass bytes for other encodings");
        const auto* data = static_cast<const char*>(PyUnicode_DATA(object));
        return {std::string_view(data, static_cast<size_t>(PyUnicode_GET_LENGTH(object))), true};
    }
    throw py::type_error(std::string(what) + " must be str or bytes, not " + Py_TYPE(object)->tp_name);
}

py::object linePyObject(std::string_view bytes, bool asStr) {
    PyObject* object = asStr ? PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr)
                             : PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!object) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

std::string pathBytes(py::handle path) {
    // os.fsencode takes str, bytes and os.PathLike and raises TypeError for anything else.
    const std::string encoded = py::bytes(py::module_::import("os").attr("fsencode")(path));
    if (encoded.find('\0') != std::string::npos) throw py::value_error("a path has a NUL byte");
    return encoded;
}

}  // namespace drg::python
