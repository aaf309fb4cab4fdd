#pragma once
// Input and output of the commands that work as filters: "-" or nothing
// names a standard stream, and a reader downstream that goes away ends the
// run quietly instead of killing it with a signal.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "batch/file_io.h"

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

// The system's calls, keeping the error of the last failed read and write:
// reads happen on the pipeline's reader thread, whose errno the caller
// never sees.
class ErrnoKeepingIo final : public FileIo {
public:
    int open(const std::string& path, OpenMode mode) override { return systemFileIo().open(path, mode); }
    ssize_t read(int fd, char* buffer, size_t size) override {
        const ssize_t n = systemFileIo().read(fd, buffer, size);
        if (n < 0) readError = errno;
        return n;
    }
    ssize_t write(int fd, const char* data, size_t size) override {
        const ssize_t n = systemFileIo().write(fd, data, size);
        if (n < 0) writeError = errno;
        return n;
    }
    int close(int fd) override { return systemFileIo().close(fd); }
    void writeBehind(int fd, uint64_t offset, uint64_t length) override {
        systemFileIo().writeBehind(fd, offset, length);
    }

    int readError = 0;   // read once the reader thread has been joined
    int writeError = 0;
};

}  // namespace drg::cli
