#include "batch/batch_run.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "record/record_layout.h"
#include "conditions/prepare_record.h"
#include "tables/table_loader.h"

namespace drg {
namespace {

constexpr size_t kInputChunk = size_t{1} << 20;
constexpr int kProgressEvery = 10000;

// Buffered output that remembers the first write failure (a full disk shows
// only when a large write or the final flush fails).
class OutputFile {
public:
    explicit OutputFile(std::FILE* file) : file_(file), buffer_(kInputChunk + 2 * kRecordLength) {}

    // Room for `bytes` contiguous bytes at the end of the buffer.
    char* reserve(size_t bytes) {
        if (used_ + bytes > buffer_.size()) flush();
        return buffer_.data() + used_;
    }
    void commit(size_t bytes) { used_ += bytes; }
    void append(const char* data, size_t bytes) {
        while (bytes > 0) {
            size_t room = buffer_.size() - used_;
            if (room == 0) {
                flush();
                room = buffer_.size();
            }
            const size_t n = bytes < room ? bytes : room;
            std::memcpy(buffer_.data() + used_, data, n);
            used_ += n;
            data += n;
            bytes -= n;
        }
    }
    void flush() {
        if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
        used_ = 0;
    }
    // Flushes and closes; false when any write so far failed.
    bool close() {
        flush();
        if (std::fflush(file_) != 0) failed_ = true;
        if (std::fclose(file_) != 0) failed_ = true;
        file_ = nullptr;
        return !failed_;
    }
    bool failed() const { return failed_; }

private:
    std::FILE* file_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    bool failed_ = false;
};

enum class RunEnd { Complete, LogicError, ReadError, WriteError };

class BatchRun {
public:
    BatchRun(std::FILE* in, OutputFile& out, const TableSet& tables, ClaimState& state)
        : in_(in), out_(out), tables_(tables), state_(state), input_(kInputChunk) {}

    RunEnd run() {
        for (;;) {
            const char* newline = static_cast<const char*>(std::memchr(input_.data() + pos_, '\n', end_ - pos_));
            if (newline) {
                const size_t length = static_cast<size_t>(newline - input_.data()) + 1 - pos_;
                if (!processLine(input_.data() + pos_, length)) return RunEnd::LogicError;
                pos_ += length;
                continue;
            }
            if (eof_) {
                if (pos_ < end_ && !processLine(input_.data() + pos_, end_ - pos_)) return RunEnd::LogicError;
                break;
            }
            if (pos_ > 0) {
                std::memmove(input_.data(), input_.data() + pos_, end_ - pos_);
                end_ -= pos_;
                pos_ = 0;
            } else if (end_ == input_.size()) {
                // A line longer than the whole buffer: group its head, then
                // pass the rest through upper-cased up to its line end.
                const RunEnd longLine = processLongLine();
                if (longLine != RunEnd::Complete) return longLine;
                continue;
            }
            if (!fill()) return RunEnd::ReadError;
            if (out_.failed()) return RunEnd::WriteError;
        }
        return out_.failed() ? RunEnd::WriteError : RunEnd::Complete;
    }

private:
    // Reads more input after end_; false on a read error.
    bool fill() {
        const size_t n = std::fread(input_.data() + end_, 1, input_.size() - end_, in_);
        end_ += n;
        if (n == 0 || end_ < input_.size()) {
            if (std::ferror(in_)) return false;
            if (std::feof(in_)) eof_ = true;
        }
        return true;
    }

    // One complete line (with its line end, if any). A line shorter than the
    // record is padded with blanks before its line end.
    bool processLine(const char* line, size_t length) {
        size_t endLength = 0;
        if (length > 0 && line[length - 1] == '\n') endLength = (length > 1 && line[length - 2] == '\r') ? 2 : 1;
        const size_t textLength = length - endLength;
        const size_t recordLength = textLength < kRecordLength ? kRecordLength : textLength;
        char* record = out_.reserve(recordLength + endLength);
        std::memcpy(record, line, textLength);
        std::memset(record + textLength, ' ', recordLength - textLength);
        std::memcpy(record + recordLength, line + textLength, endLength);
        if (!groupOne(record, recordLength)) return false;
        out_.commit(recordLength + endLength);
        return true;
    }

    RunEnd processLongLine() {
        char* record = out_.reserve(end_);
        std::memcpy(record, input_.data(), end_);
        if (!groupOne(record, end_)) return RunEnd::LogicError;
        out_.commit(end_);
        pos_ = end_ = 0;
        for (;;) {
            if (!fill()) return RunEnd::ReadError;
            if (end_ == 0) return RunEnd::Complete;  // the file ended inside the line
            char* data = input_.data();
            const char* newline = static_cast<const char*>(std::memchr(data, '\n', end_));
            const size_t tail = newline ? static_cast<size_t>(newline - data) + 1 : end_;
            upperCase(data, tail);
            out_.append(data, tail);
            if (newline) {
                pos_ = tail;
                return RunEnd::Complete;
            }
            end_ = 0;
        }
    }

    bool groupOne(char* record, size_t length) {
        ++recordCount_;
        if (groupRecord(state_, tables_, record, length) != 0) return false;
        if (recordCount_ % kProgressEvery == 0) std::printf("record_count = [%d]\n", recordCount_);
        return true;
    }

    std::FILE* in_;
    OutputFile& out_;
    const TableSet& tables_;
    ClaimState& state_;
    std::vector<char> input_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    int32_t recordCount_ = 0;
};

std::string pathIn(const std::string& directory, const char* name) {
    return directory.empty() || directory == "." ? std::string(name) : directory + "/" + name;
}

}  // namespace

int runBatch(const std::string& directory) {
    std::FILE* in = std::fopen(pathIn(directory, "valtic.in").c_str(), "rb");
    if (!in) {
        std::fputs("file in open error\n", stdout);
        return kExitFailed;
    }
    std::FILE* outFile = std::fopen(pathIn(directory, "valtic.out").c_str(), "wb");
    if (!outFile) {
        std::fputs("file out open error\n", stdout);
        std::fclose(in);
        return kExitFailed;
    }
    OutputFile out(outFile);

    TableSet tables;
    std::string problem;
    const int loaded = loadTables(tables, directory, &problem);
    if (loaded != kLoadOk) {
        std::fputs(loadFailureLine(loaded), stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", problem.c_str());
        releaseTables(tables);
        std::fclose(in);
        out.close();
        return kExitFailed;
    }

    ClaimState state;
    initClaimState(state, tables);
    const RunEnd end = BatchRun(in, out, tables, state).run();
    releaseTables(tables);
    std::fclose(in);
    const bool written = out.close();

    if (end == RunEnd::LogicError) return kExitFailed;  // its line is printed already
    if (end == RunEnd::ReadError) {
        std::fputs("file in read error\n", stdout);
        return kExitFailed;
    }
    if (end == RunEnd::WriteError || !written) {
        std::fputs("file out write error\n", stdout);
        return kExitFailed;
    }
    return kExitComplete;
}

}  // namespace drg
