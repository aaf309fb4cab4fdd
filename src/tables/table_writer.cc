#include "tables/table_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tables/table_files.h"
#include "tables/table_header.h"

namespace drg {

bool writeTableFile(const TableSet& tables, int file, const std::string& directory, std::string* problem) {
    const std::string path = directory + "/" + kTableFileNames[file];
    std::vector<char> bytes(tables.headers[file].begin(), tables.headers[file].end());
    const auto counts = fileCounts(tables, file);
    const CountFieldLayout layout = countFieldLayout(file);
    for (int f = 0; f < layout.used; ++f) formatCountField(counts[f], bytes.data() + f * kCountFieldWidth);
    forEachArray(tables, file, [&](const auto& array, size_t elements) {
        const size_t width = sizeof(array[0]);
        const size_t present = array.size() < elements ? array.size() : elements;
        const char* data = reinterpret_cast<const char*>(array.data());
        bytes.insert(bytes.end(), data, data + present * width);
        bytes.insert(bytes.end(), (elements - present) * width, '\0');
    });
    // The system's reason (a full disk, a file size limit) is kept for the message.
    int error = 0;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (!ok) error = errno;
    if (out && std::fclose(out) != 0) {
        if (ok) error = errno;
        ok = false;
    }
    if (!ok && problem) *problem = path + ": cannot be written" + (error ? std::string(": ") + std::strerror(error) : "");
    return ok;
}

bool writeTableFiles(const TableSet& tables, const std::string& directory, std::string* problem) {
    for (int file = 0; file < kTableFileCount; ++file)
        if (!writeTableFile(tables, file, directory, problem)) return false;
    return true;
}

}  // namespace drg
