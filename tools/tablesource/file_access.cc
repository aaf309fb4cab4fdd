#include "tablesource/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tables/table_files.h"
#include "tablesource/tool_limits.h"

namespace drg::source {
namespace {

bool acceptable(const struct stat& info, uint64_t mostBytes, std::string* problem) {
    if (!S_ISREG(info.st_mode)) {
        *problem = std::string("is ") + nonRegularKind(info.st_mode) + ", not a file";
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > mostBytes) {
        *problem = "holds " + mebibytes(static_cast<uint64_t>(info.st_size)) + ", more than the " +
                   mebibytes(mostBytes) + " allowed without --allow-large";
        return false;
    }
    return true;
}

}  // namespace

std::string mebibytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

bool readRegularFile(const std::string& path, uint64_t mostBytes, std::string& text, std::string* problem) {
    // Non-blocking, so that opening a FIFO returns at once; fstat then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *problem = std::string("cannot be opened: ") + std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) *problem = std::string("cannot be read: ") + std::strerror(errno);
    ok = ok && acceptable(info, mostBytes, problem);
    text.clear();
    char buffer[1 << 16];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            *problem = std::string("cannot be read: ") + std::strerror(errno);
            ok = false;
        } else if (got == 0) {
            break;
        } else if (text.size() + static_cast<size_t>(got) > mostBytes) {  // it grew while being read
            *problem = "holds more than the " + mebibytes(mostBytes) + " allowed without --allow-large";
            ok = false;
        } else {
            text.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    return ok;
}

FileCheck checkRegularFile(const std::string& path, uint64_t mostBytes, std::string* problem) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FileCheck::Missing;
    return acceptable(info, mostBytes, problem) ? FileCheck::Regular : FileCheck::Refused;
}

}  // namespace drg::source
