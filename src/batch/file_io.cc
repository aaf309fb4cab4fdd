#include "batch/file_io.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>
#include <tuple>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/table_files.h"

namespace drg {
namespace {

// A standard stream may come non-blocking from whatever started the program
// (the pipes of an event-driven parent are): a read or write that would
// block then fails at once. Waits until the pipe is ready instead; true
// once it is, false when `error` is another error (left in errno).
bool waitedUntilReady(int fd, int error, short events) {
    if (error != EAGAIN && error != EWOULDBLOCK) return false;
    struct pollfd ready {fd, events, 0};
    int n;
    do n = ::poll(&ready, 1, -1);
    while (n < 0 && errno == EINTR);
    return n >= 0;
}

class SystemFileIo final : public FileIo {
public:
    int open(const std::string& path, OpenMode mode) override {
        const int flags = mode == OpenMode::Read ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
        int fd;
        do fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        return fd;
    }
    ssize_t read(int fd, char* buffer, size_t size) override {
        ssize_t n;
        do n = ::read(fd, buffer, size);
        while (n < 0 && (errno == EINTR || waitedUntilReady(fd, errno, POLLIN)));
        return n;
    }
    ssize_t write(int fd, const char* data, size_t size) override {
        ssize_t n;
        do n = ::write(fd, data, size);
        while (n < 0 && (errno == EINTR || waitedUntilReady(fd, errno, POLLOUT)));
        return n;
    }
    int close(int fd) override { return ::close(fd); }
    void writeBehind(int fd, uint64_t offset, uint64_t length) override {
        // A pipe or a device refuses, and loses nothing by it.
        ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
    }
};

bool sameRegularFile(const struct stat& a, const struct stat& b) {
    return S_ISREG(a.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void holdClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() returns the lowest free descriptor, which is this one.
        const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
        if (held != fd && held >= 0) ::close(held);
    }
}

namespace {

const char* failingProgram = "";
int failureStatus = 1;

[[noreturn]] void endUncaughtFailure() {
    // Nothing is allocated here: memory may be what ran out.
    const char* reason = "an unexpected failure";
    const char* detail = "";
    try {
        if (const std::exception_ptr failure = std::current_exception()) std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    } catch (const std::system_error& e) {
        // What starting a thread meets when the system has no room for one.
        if (e.code() == std::errc::resource_unavailable_try_again) reason = "cannot start a thread: ";
        else reason = "";
        detail = e.what();
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: stopped: %s%s\n", failingProgram, reason, detail);
    std::_Exit(failureStatus);
}

}  // namespace

void endUncaughtFailuresWith(const char* program, int status) {
    failingProgram = program;
    failureStatus = status;
    std::set_terminate(endUncaughtFailure);
}

FileIo& systemFileIo() {
    static SystemFileIo io;
    return io;
}

int ErrorKeepingIo::open(const std::string& path, OpenMode mode) { return systemFileIo().open(path, mode); }

ssize_t ErrorKeepingIo::read(int fd, char* buffer, size_t size) {
    const ssize_t n = systemFileIo().read(fd, buffer, size);
    if (n < 0) readError = errno;
    return n;
}

ssize_t ErrorKeepingIo::write(int fd, const char* data, size_t size) {
    const ssize_t n = systemFileIo().write(fd, data, size);
    if (n < 0) writeError = errno;
    return n;
}

int ErrorKeepingIo::close(int fd) { return systemFileIo().close(fd); }

void ErrorKeepingIo::writeBehind(int fd, uint64_t offset, uint64_t length) {
    systemFileIo().writeBehind(fd, offset, length);
}

ssize_t readFully(FileIo& io, int fd, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = io.read(fd, buffer + done, size - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t readAvailable(FileIo& io, int fd, char* buffer, size_t size, bool* ended) {
    // A writer that is only a little slower than the reading leaves the pipe
    // empty for a moment now and then (`cat` into it, without a wait, gave
    // windows of 110 KB, not 1 MiB): more is waited for 5 ms at a time, for
    // at most 50 ms in all, so that such a writer still fills whole windows.
    using Clock = std::chrono::steady_clock;
    size_t done = 0;
    *ended = false;
    Clock::time_point first{};
    while (done < size) {
        const ssize_t n = io.read(fd, buffer + done, size - done);
        if (n < 0) return -1;
        if (n == 0) {
            *ended = true;
            break;
        }
        if (done == 0) first = Clock::now();
        done += static_cast<size_t>(n);
        if (done == size || Clock::now() - first > std::chrono::milliseconds(50)) break;
        pollfd more{fd, POLLIN, 0};
        int ready;
        do ready = ::poll(&more, 1, 5);
        while (ready < 0 && errno == EINTR);
        if (ready <= 0) break;
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(FileIo& io, int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = io.write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

OutputFile::OutputFile(FileIo& io, std::string path)
    : io_(io), opening_(std::async(std::launch::async, [&io, path = std::move(path)] {
          const int fd = io.open(path, OpenMode::Write);
          return std::make_pair(fd, fd < 0 ? errno : 0);
      })) {}

int OutputFile::descriptor() {
    if (!settled_) {
        std::tie(fd_, error_) = opening_.get();
        settled_ = true;
    }
    return fd_;
}

OutputWrite OutputFile::write(const char* data, size_t size) {
    const int fd = descriptor();
    if (fd < 0) return OutputWrite::NotOpen;
    if (!writeFully(io_, fd, data, size)) return OutputWrite::Failed;
    writeBehind_.wrote(io_, fd, size);
    return OutputWrite::Written;
}

void WriteBehind::wrote(FileIo& io, int fd, size_t bytes) {
    written_ += bytes;
    if (written_ - started_ < kEvery) return;
    io.writeBehind(fd, started_, written_ - started_);
    started_ = written_;
}

bool namesOpenRegularFile(int fd, const std::string& path) {
    struct stat open {}, named {};
    return fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && sameRegularFile(open, named);
}

bool sameOpenRegularFile(int fd, int otherFd) {
    struct stat a {}, b {};
    return fstat(fd, &a) == 0 && fstat(otherFd, &b) == 0 && sameRegularFile(a, b);
}

bool namesSameFile(const std::string& path, const std::string& otherPath) {
    struct stat a {}, b {};
    if (::stat(path.c_str(), &a) == 0 && ::stat(otherPath.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    std::error_code error, otherError;
    const auto canonical = [](const std::string& p, std::error_code& e) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(p, e), e);
    };
    const std::filesystem::path one = canonical(path, error), other = canonical(otherPath, otherError);
    return !error && !otherError && one == other;
}

bool isOpenDirectory(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

const char* tableFileNamedBy(const std::string& path, const std::string& tablesDirectory) {
    for (const char* name : kTableFileNames)
        if (namesSameFile(path, (std::filesystem::path(tablesDirectory) / name).string())) return name;
    return nullptr;
}

}  // namespace drg
