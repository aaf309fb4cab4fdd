#pragma once
// The folder of a binary release as the table tools find it before loading.

#include <cstdint>
#include <string>

namespace drg::source {

// Each of the 22 table files of `directory` that exists must be a regular
// file (not a FIFO, which would block the loader, a device or a folder) of
// at most `mostBytes`. False with `problem` naming the first that is not;
// missing files are left for the loader to report.
bool checkTableFolder(const std::string& directory, uint64_t mostBytes, std::string* problem);

}  // namespace drg::source
