#include "support/test_files.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace drg::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "drg-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

void setCountField(const std::string& directory, const std::string& tableFile, int field, const std::string& text) {
    const std::string path = directory + "/" + tableFile;
    std::string bytes = readFile(path);
    std::string value = text;
    value.resize(10, ' ');
    bytes.replace(static_cast<size_t>(field - 1) * 10, 10, value);
    writeFile(path, bytes);
}

void cutFile(const std::string& directory, const std::string& tableFile, size_t bytesRemoved) {
    const std::string path = directory + "/" + tableFile;
    std::string bytes = readFile(path);
    bytes.resize(bytes.size() - bytesRemoved);
    writeFile(path, bytes);
}

void removeTableFile(const std::string& directory, const std::string& tableFile) {
    std::filesystem::remove(directory + "/" + tableFile);
}


ProcessResult runProgram(const std::string& program, const std::string& directory,
                         const std::vector<std::string>& args) {
    // Output goes through files so that neither stream can block the other.
    const std::string outPath = directory + "/.stdout", errPath = directory + "/.stderr";
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(directory.c_str()) != 0) _exit(127);
        if (!freopen(".stdout", "w", stdout) || !freopen(".stderr", "w", stderr)) _exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    ProcessResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKib = usage.ru_maxrss;
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
}

ProcessResult runBatchProgram(const std::string& directory) { return runProgram(DRG_BATCH_PATH, directory); }

}  // namespace drg::testing
