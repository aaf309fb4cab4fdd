#include "tables/table_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "tables/table_bounds.h"
#include "tables/table_files.h"
#include "tables/table_header.h"

namespace drg {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

int fail(std::string* problem, int code, const std::string& file, const std::string& what) {
    if (problem) *problem = file + ": " + what;
    return code;
}

int fail(std::string* problem, int code, const std::string& what) {
    if (problem) *problem = what;
    return code;
}

std::string fieldName(int field) { return "count field " + std::to_string(field + 1); }

int loadFile(TableSet& tables, const std::string& directory, int file, std::string* problem) {
    const std::string name = kTableFileNames[file];
    const std::string path = directory.empty() ? name : directory + "/" + name;
    // Opened without waiting, so that a FIFO put in a table's place is
    // refused instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(problem, kLoadInitError, name, std::string("cannot be opened: ") + std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(problem, kLoadInitError, name, std::string("is ") + nonRegularKind(info.st_mode) + ", not a file");
    }
    FileHandle handle(fdopen(fd, "rb"));
    if (!handle) {
        ::close(fd);
        return fail(problem, kLoadInitError, name, "cannot be opened");
    }
    auto& header = tables.headers[file];
    if (std::fread(header.data(), 1, kHeaderSize, handle.get()) != kHeaderSize)
        return fail(problem, kLoadInitError, name, "header is shorter than 100 bytes");

    const CountFieldLayout layout = countFieldLayout(file);
    std::array<int64_t, 4> counts{};
    std::string readings;  // of the fields that do not read plainly
    for (int f = 0; f < layout.used; ++f) {
        const char* field = header.data() + f * kCountFieldWidth;
        int64_t value = parseCountField(field);
        counts[f] = layout.wide[f] ? static_cast<int32_t>(static_cast<uint32_t>(value))
                                   : static_cast<int64_t>(static_cast<uint16_t>(value));
        if (const std::string reading = countFieldReading(field, counts[f]); !reading.empty())
            readings += "; " + fieldName(f) + " holds " + reading;
    }

    std::string countProblem;
    if (const int checked = checkFileCounts(tables, file, counts, &countProblem); checked != kLoadOk)
        return fail(problem, checked, name, countProblem + readings);

    setFileCounts(tables, file, counts);

    // A damaged count must not make us allocate more than the file can hold.
    uint64_t needed = kHeaderSize;
    forEachArray(tables, file, [&](auto& array, size_t elements) {
        needed += elements * sizeof(array[0]);
    });
    if (std::fseek(handle.get(), 0, SEEK_END) != 0)
        return fail(problem, kLoadInitError, name, "cannot be read");
    long size = std::ftell(handle.get());
    if (size < 0 || static_cast<uint64_t>(size) < needed)
        return fail(problem, kLoadInitError, name,
                    "holds " + std::to_string(size) + " bytes, its counts need " + std::to_string(needed) + readings);
    if (std::fseek(handle.get(), kHeaderSize, SEEK_SET) != 0)
        return fail(problem, kLoadInitError, name, "cannot be read");

    bool complete = true;
    try {
        forEachArray(tables, file, [&](auto& array, size_t elements) {
            if (!complete) return;
            array.assign(elements, {});
            if (std::fread(array.data(), sizeof(array[0]), elements, handle.get()) != elements)
                complete = false;
        });
    } catch (const std::bad_alloc&) {
        return fail(problem, kLoadInitError, name, "an array could not be allocated");
    }
    if (!complete) return fail(problem, kLoadInitError, name, "is shorter than its counts need");
    return kLoadOk;
}

// The bounds are those of the rows as stored: the fix-up may write a
// condition count beyond 16 bits into a must-be-clear column.
int checkBoundsAndFixUp(TableSet& tables, int file, std::string* problem) {
    std::string field;
    if (!tableFileWithinBounds(tables, file, &field))
        return fail(problem, kLoadInitError, kTableFileNames[file], field);
    if (file >= kFileAdrg0 && file <= kFileAdrg5)
        decisionRowFixup(tables.decisionTables[file - kFileAdrg0], tables.conditions.conditionCount);
    return kLoadOk;
}

template <class V>
void freeVector(V& v) {
    V().swap(v);
}

}  // namespace

const char* loadFailureLine(int result) {
    return result == kLoadCountError ? " file count error \n" : " file init error \n";
}

int checkFileCounts(const TableSet& tables, int file, const std::array<int64_t, 4>& counts, std::string* problem) {
    for (const CountLink& link : kCountLinks) {
        if (link.file != file) continue;
        const int64_t expected = fileCounts(tables, link.earlierFile)[0];
        if (counts[static_cast<size_t>(link.field)] != expected)
            return fail(problem, kLoadCountError,
                        fieldName(link.field) + " is " + std::to_string(counts[static_cast<size_t>(link.field)]) +
                            " but " + kTableFileNames[static_cast<size_t>(link.earlierFile)] + " holds " +
                            std::to_string(expected));
    }
    const int used = countFieldLayout(file).used;
    for (int f = 0; f < used; ++f)
        if (counts[static_cast<size_t>(f)] < 0) return fail(problem, kLoadInitError, fieldName(f) + " is negative");
    if (file == kFileCondIdx && counts[0] < kMinimumConditionCount)
        return fail(problem, kLoadInitError,
                    fieldName(0) + " is " + std::to_string(counts[0]) + ", below the " +
                        std::to_string(kMinimumConditionCount) + " conditions the derived ones need");
    return kLoadOk;
}

int loadTables(TableSet& tables, const std::string& directory, std::string* problem) {
    // A folder that is not there is named as such, not as its first table file.
    struct stat folder {};
    if (!directory.empty() && stat(directory.c_str(), &folder) != 0)
        return fail(problem, kLoadInitError, std::string("the folder cannot be opened: ") + std::strerror(errno));
    if (!directory.empty() && !S_ISDIR(folder.st_mode))
        return fail(problem, kLoadInitError, "it is not a folder");
    for (int file = 0; file < kTableFileCount; ++file) {
        int result = loadFile(tables, directory, file, problem);
        if (result != kLoadOk) return result;
    }
    // Indices that point outside another file's arrays are looked for only
    // once every file has passed the checks of the format itself: a count
    // that disagrees with its partner file is then reported as the count
    // error it is, even when it also leaves some index out of reach.
    for (int file = 0; file < kTableFileCount; ++file) {
        int result = checkBoundsAndFixUp(tables, file, problem);
        if (result != kLoadOk) return result;
    }
    return kLoadOk;
}

void releaseTables(TableSet& tables) {
    for (int file = 0; file < kTableFileCount; ++file) {
        forEachArray(tables, file, [](auto& array, size_t) { freeVector(array); });
        setFileCounts(tables, file, {});
    }
}

void decisionRowFixup(DecisionTable& table, uint16_t conditionCount) {
    const size_t rows = table.rowConditions.size() / kRowConditionColumns;
    for (size_t r = 0; r < rows; ++r) {
        int16_t* row = table.rowConditions.data() + r * kRowConditionColumns;
        for (int c = kMustBeSetColumns; c < kRowConditionColumns; ++c)
            if (row[c] == 0) row[c] = static_cast<int16_t>(conditionCount);
    }
}

}  // namespace drg
