#pragma once
// Reading files that someone else named: only regular files are opened for
// their content, never a FIFO that blocks, a device that never ends or a
// folder, and never more bytes than a stated limit.

#include <cstdint>
#include <string>

namespace drg::source {

// The whole content of the regular file at `path`. False with `problem` (a
// reason, without the path): missing, not a regular file, larger than
// `mostBytes` or unreadable.
bool readRegularFile(const std::string& path, uint64_t mostBytes, std::string& text, std::string* problem);

enum class FileCheck { Missing, Regular, Refused };

// Whether `path` (links followed) is a regular file of at most `mostBytes`;
// Refused with `problem` for anything else that exists.
FileCheck checkRegularFile(const std::string& path, uint64_t mostBytes, std::string* problem);

}  // namespace drg::source
