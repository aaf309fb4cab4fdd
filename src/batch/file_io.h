#pragma once
// The one seam through which the batch run touches files: open, read, write,
// write-behind and close. The run uses the operating system's calls; a test
// can put a seam in between that makes any one of these operations fail.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <utility>
#include <sys/types.h>

namespace drg {

enum class OpenMode { Read, Write };  // Write creates or truncates

class FileIo {
public:
    virtual ~FileIo() = default;
    // A descriptor, or -1.
    virtual int open(const std::string& path, OpenMode mode) = 0;
    // Bytes read (0 at the end), or -1 on an error.
    virtual ssize_t read(int fd, char* buffer, size_t size) = 0;
    // Bytes written (possibly fewer than asked), or -1 on an error.
    virtual ssize_t write(int fd, const char* data, size_t size) = 0;
    // 0, or -1 when the file could not be closed (for output: not all data reached it).
    virtual int close(int fd) = 0;
    // Asks the system to start writing bytes already written to the file
    // out to its device, and returns without waiting. Nothing depends on it;
    // it spreads over the run the writing out that closing a rewritten file
    // would otherwise do all at once (tens of milliseconds per 100 MB).
    virtual void writeBehind(int /*fd*/, uint64_t /*offset*/, uint64_t /*length*/) {}
};

// The operating system's calls, retried when a signal interrupts them.
FileIo& systemFileIo();

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, in the
// direction that cannot be used (standard input for writing, the other two
// for reading). A file the program opens then never takes the place of a
// standard stream, where a line meant for the console would land in it, and
// a closed standard output still fails to write ("Bad file descriptor").
// Call first thing in main.
void holdClosedStandardDescriptors();

// Makes a failure that nothing catches (memory, or a thread, that cannot be
// had, as under a low `ulimit -v`) end the program with `status` and one
// line on standard error, "PROGRAM: stopped: out of memory", instead of an
// abort that dumps core. What was printed on standard output is kept.
void endUncaughtFailuresWith(const char* program, int status);

// The operating system's calls, keeping the error of the last failed read
// and write: they happen on the pipeline's threads, whose errno the caller
// never sees.
class ErrorKeepingIo final : public FileIo {
public:
    int open(const std::string& path, OpenMode mode) override;
    ssize_t read(int fd, char* buffer, size_t size) override;
    ssize_t write(int fd, const char* data, size_t size) override;
    int close(int fd) override;
    void writeBehind(int fd, uint64_t offset, uint64_t length) override;

    std::atomic<int> readError{0}, writeError{0};
};

// Reads until `size` bytes are in or the input ends. Returns the bytes read,
// or -1 on an error (what was read before the error is lost to the caller).
ssize_t readFully(FileIo& io, int fd, char* buffer, size_t size);

// Reads until `size` bytes are in, the input ends (`*ended` is set then),
// or nothing more comes for a moment, as from a pipe whose writer sends a
// record and waits for its result. Returns the bytes read, or -1 on an error.
ssize_t readAvailable(FileIo& io, int fd, char* buffer, size_t size, bool* ended);

// Writes all `size` bytes; false on an error.
bool writeFully(FileIo& io, int fd, const char* data, size_t size);

// Whether `path` names the regular file open as `fd` (also through another
// link): opening it as output would empty the input before it is read.
bool namesOpenRegularFile(int fd, const std::string& path);

// Whether two descriptors are open on the same regular file, as when
// standard output is appended to the input, which the run would then read
// back as it writes it.
bool sameOpenRegularFile(int fd, int otherFd);

// Whether two paths name one file, existing or yet to be made (through
// links, or spelt otherwise, as "./a" and "a").
bool namesSameFile(const std::string& path, const std::string& otherPath);

// Whether `fd` is open on a directory: it opens for reading, but every read fails.
bool isOpenDirectory(int fd);

// The name of the table file of the release in `tablesDirectory` that `path`
// names, or null: writing a report or an output there would spoil the release.
const char* tableFileNamedBy(const std::string& path, const std::string& tablesDirectory);

// Follows what a writer has written to one output and starts writing it out
// (FileIo::writeBehind) every few megabytes.
class WriteBehind {
public:
    static constexpr uint64_t kEvery = uint64_t{8} << 20;

    void wrote(FileIo& io, int fd, size_t bytes);

private:
    uint64_t written_ = 0;  // bytes written to the file
    uint64_t started_ = 0;  // of those, the ones whose writing out has been started
};

enum class OutputWrite { Written, NotOpen, Failed };

// An output opened on a thread of its own, so that the work can start while
// it opens: truncating the last run's output, whose blocks the system must
// free (and may still be writing out), can take longer than loading a
// release. Or an output open already, such as standard output. A write
// waits until it is open, and the writing out is started behind the writes.
class OutputFile {
public:
    OutputFile(FileIo& io, std::string path);
    OutputFile(FileIo& io, int openDescriptor) : io_(io), fd_(openDescriptor), settled_(true) {}
    // Waits until it is open: the descriptor, or -1 with the system's error in error().
    int descriptor();
    int error() const { return error_; }
    // Writes all `size` bytes once the output is open.
    OutputWrite write(const char* data, size_t size);

private:
    FileIo& io_;
    std::future<std::pair<int, int>> opening_;  // descriptor and errno
    int fd_ = -1;
    int error_ = 0;
    bool settled_ = false;
    WriteBehind writeBehind_;
};

}  // namespace drg
