#pragma once
// Input and output of the commands that work as filters: "-" or nothing
// names a standard stream, and a reader downstream that goes away ends the
// run quietly instead of killing it with a signal.

#include <csignal>
#include <cstdio>
#include <string>

namespace drg::cli {

inline bool isStandardStream(const std::string& path) { return path.empty() || path == "-"; }

// How a failure line names an input or output.
inline std::string inputName(const std::string& path) {
    return isStandardStream(path) ? "standard input" : path;
}
inline std::string outputName(const std::string& path) {
    return isStandardStream(path) ? "standard output" : path;
}

// Writes to a closed pipe then fail with EPIPE, which a command treats as
// a quiet stop. Set once, in main, for every command.
inline void ignoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

// Opens a report file for writing without emptying it (it is made when
// missing), so that a run that fails before it writes leaves an old report
// as it was. Null, with errno set, when it cannot be opened.
std::FILE* openReportKeepingOld(const std::string& path);

// Empties a report opened so, once the run goes ahead. Only a regular file
// is cut; a pipe or a device holds nothing to cut. False, with errno set,
// when the file cannot be cut.
bool emptyReport(std::FILE* file);

// Whether a report opened as `file` writes into the stream open as `fd`
// (the same file, pipe or socket, as /dev/stdout does), where it would mix
// with what goes there. A terminal or a device may take both.
bool sameStream(std::FILE* file, int fd);

}  // namespace drg::cli
