#pragma once
// Records through several worker threads with their order kept. One thread
// reads the input straight into jobs of whole lines, the workers turn
// jobs into output, and the caller's thread takes the finished jobs in input
// order. A fixed pool of jobs bounds the memory however large the input is.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "batch/file_io.h"

namespace drg {

// The read window: a line longer than this is grouped by its first window
// of bytes, and the rest of it is passed through upper-cased.
inline constexpr size_t kReadWindow = size_t{1} << 20;

enum class PieceKind : uint8_t {
    Line,           // one whole line with its line end, if any
    LongLineHead,   // the first window of a line longer than the window: one record
    LongLineRest,   // more of such a line, up to and including its line end
};

struct Piece {
    PieceKind kind;
    uint32_t offset;  // into Job::input
    uint32_t length;
};

// A vector whose growth leaves the new elements uninitialised: output bytes
// are always written before they are read, so zeroing them first is waste.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<char, UninitialisedAllocator<char>>;

struct Job {
    uint64_t sequence = 0;
    // One read window: the pieces cover its first bytes, one after another.
    ByteBuffer input;
    std::vector<Piece> pieces;
    uint32_t records = 0;  // pieces that are records (all but LongLineRest)
    // The length of the job's output: every line grown to a record's length
    // at least, the other pieces as they are. Found by the reader, which has
    // the lines at hand.
    size_t groupedBytes = 0;

    // Written by the worker: the output is outputData()[0, outputLength). It
    // lies in `outputSpace`, or, when every record was as long as its output
    // line, in `input` itself, grouped where it stood.
    ByteBuffer outputSpace;
    bool groupedInPlace = false;
    size_t outputLength = 0;
    // The first piece whose record was refused, or -1; the output then holds
    // what came before it.
    int32_t refusedPiece = -1;
    // Whatever else a worker reports per job, read in input order.
    std::vector<char> side;

    const char* outputData() const { return groupedInPlace ? input.data() : outputSpace.data(); }
};

class JobWorker {
public:
    virtual ~JobWorker() = default;
    virtual void process(Job& job) = 0;
};

class JobSink {
public:
    virtual ~JobSink() = default;
    // Called for every job in input order; false stops the run.
    virtual bool consume(const Job& job) = 0;
};

enum class PipelineEnd {
    Complete,   // the input ended and every job was consumed
    ReadError,  // reading failed, or the input file was cut short while it was read
                // (no error number then); every job before the failure was consumed
    Stopped,    // the sink stopped the run
};

struct PipelineLimits {
    size_t readWindow = kReadWindow;  // a job holds the lines of one window
    // More jobs, taken only while fewer jobs wait for the workers than there
    // are workers: when the sink falls behind (its output may still be
    // opening), the workers go on until these are full too; otherwise the
    // usual few jobs go round.
    size_t spareJobs = 0;
};

// Spare jobs for a run whose output may still be opening: 32 read windows.
inline constexpr size_t kSpareJobsWhileOutputOpens = 32;

// Reads `inputFd` to its end, one worker thread per entry of `workers`, and
// hands the jobs to `sink` on the calling thread.
PipelineEnd runLinePipeline(FileIo& io, int inputFd, const std::vector<JobWorker*>& workers, JobSink& sink,
                            const PipelineLimits& limits = {});

}  // namespace drg
