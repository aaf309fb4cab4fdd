#pragma once
// Scratch folders, file helpers, damaged table files and a way to run the
// batch program as a user would.

#include <string>
#include <vector>

namespace drg::testing {

// A fresh folder under the system's temporary directory, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Damaged variants of a written table file.
void setCountField(const std::string& directory, const std::string& tableFile, int field, const std::string& text);
void cutFile(const std::string& directory, const std::string& tableFile, size_t bytesRemoved);
void removeTableFile(const std::string& directory, const std::string& tableFile);

struct ProcessResult {
    int exitStatus = -1;
    std::string out;  // standard output
    std::string err;  // standard error
    // The child's peak resident memory in KiB, as the kernel reports it; it
    // counts this process's own as it stood at the fork.
    long peakKib = 0;
};

// Runs `program` with `args` in `directory`, capturing both output streams.
ProcessResult runProgram(const std::string& program, const std::string& directory,
                         const std::vector<std::string>& args = {});

// Runs the built drg-batch in `directory`.
ProcessResult runBatchProgram(const std::string& directory);

}  // namespace drg::testing
