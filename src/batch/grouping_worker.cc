#include "batch/grouping_worker.h"

#include <cstring>

#include "engine/record_grouping.h"
#include "record/upper_case.h"

namespace drg {

GroupingWorker::GroupingWorker(const Release& release, RecordObserver* observer)
    : release_(release), observer_(observer) {
    initClaimState(state_, release);
}

void GroupingWorker::process(Job& job) {
    // Lines of a record's length or more keep their length, and the pieces
    // cover the input from its start: then the input becomes the output
    // without a copy.
    job.groupedInPlace = job.groupedBytes == job.input.size();
    if (!job.groupedInPlace) job.outputSpace.resize(job.groupedBytes);

    char* out = job.groupedInPlace ? job.input.data() : job.outputSpace.data();
    char* const first = out;
    for (size_t i = 0; i < job.pieces.size(); ++i) {
        const Piece& piece = job.pieces[i];
        const char* in = job.input.data() + piece.offset;
        size_t written = piece.length;
        size_t recordLength = piece.length;
        int result = kGroupOk;
        switch (piece.kind) {
        case PieceKind::Line:
            written = groupedLineLength(in, piece.length);
            recordLength = written - lineEndLength(in, piece.length);
            result = job.groupedInPlace ? groupRecord(state_, release_, out, recordLength)
                                        : groupLine(state_, release_, in, piece.length, out);
            break;
        case PieceKind::LongLineHead:
            if (!job.groupedInPlace) std::memcpy(out, in, piece.length);
            result = groupRecord(state_, release_, out, piece.length);
            break;
        case PieceKind::LongLineRest:
            if (!job.groupedInPlace) std::memcpy(out, in, piece.length);
            upperCase(out, piece.length);
            break;
        }
        if (result != kGroupOk) {
            job.refusedPiece = static_cast<int32_t>(i);
            break;
        }
        if (observer_ && piece.kind != PieceKind::LongLineRest) observer_->recordGrouped(state_, out, recordLength);
        out += written;
    }
    job.outputLength = static_cast<size_t>(out - first);
}

uint32_t groupedRecords(const Job& job) {
    if (job.refusedPiece < 0) return job.records;
    uint32_t records = 0;
    for (int32_t i = 0; i < job.refusedPiece; ++i)
        if (job.pieces[static_cast<size_t>(i)].kind != PieceKind::LongLineRest) ++records;
    return records;
}

}  // namespace drg
