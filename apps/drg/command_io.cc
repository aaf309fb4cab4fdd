#include "command_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace drg::cli {

std::FILE* openReportKeepingOld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

bool emptyReport(std::FILE* file) {
    struct stat info;
    const int fd = ::fileno(file);
    if (::fstat(fd, &info) != 0) return false;
    return !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) == 0;
}

bool sameStream(std::FILE* file, int fd) {
    struct stat a, b;
    if (::fstat(::fileno(file), &a) != 0 || ::fstat(fd, &b) != 0) return false;
    const bool stream = S_ISREG(a.st_mode) || S_ISFIFO(a.st_mode) || S_ISSOCK(a.st_mode);
    return stream && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace drg::cli
