#pragma once
// The folder of a binary release as the table tools find it before loading.

#include <cstdint>
#include <string>

namespace drg::source {

enum class TableFolderCheck {
    Usable,       // left for the loader, which reports missing files itself
    NotAFolder,   // missing, or a file
    HoldsSource,  // a table source of .tsv files instead of table files
    Refused,      // a table file that is not a regular file, or too large
};

// Each of the 22 table files of `directory` that exists must be a regular
// file (not a FIFO, which would block the loader, a device or a folder) of
// at most `mostBytes`. Unless Usable, `problem` names the folder or the file
// as the user gave it, and says what to do with a source folder.
TableFolderCheck checkTableFolder(const std::string& directory, uint64_t mostBytes, std::string* problem);

// A loader problem ("Tdx.idx: cannot be opened") with the folder in front.
std::string inFolder(const std::string& directory, const std::string& loaderProblem);

}  // namespace drg::source
