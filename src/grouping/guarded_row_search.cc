#include "grouping/guarded_row_search.h"

#include <algorithm>

namespace drg {
namespace {

using GuardedRow = RowGuardIndex::GuardedRow;

// The first row of the guard's list at or after `begin`.
const GuardedRow* firstGuardedRowFrom(const RowGuardIndex& guards, uint32_t guard, int begin) {
    const GuardedRow* it = guards.listed.data() + guards.begin(guard);
    const GuardedRow* last = guards.listed.data() + guards.begin(guard + 1);
    // A binary search that picks each half without a branch: which half holds
    // the row depends on the record, so a branch there would be mispredicted
    // about every other step. Lists of up to 8 rows are walked, and the walk
    // also takes the last step of the search.
    ptrdiff_t length = last - it;
    if (length > 8) {
        while (length > 1) {
            const ptrdiff_t half = length / 2;
            it = it[half - 1].packed.row < begin ? it + half : it;
            length -= half;
        }
    }
    while (it != last && it->packed.row < begin) ++it;
    return it;
}

// Tests the rows of one guard from `begin` on, up to the best match found so
// far (exclusive), and lowers it to any row that matches.
inline void testGuardedRows(const RowGuardIndex& guards, uint32_t guard, int begin,
                            int& best, const ClaimState& state) {
    const GuardedRow* it = firstGuardedRowFrom(guards, guard, begin);
    const GuardedRow* last = guards.listed.data() + guards.begin(guard + 1);
    const uint64_t raised = state.conditions.raisedMask;
    for (; it != last && it->packed.row < best; ++it) {
        if (it->needs & ~raised) continue;  // needs a condition the record did not raise
        if (guardedRowMatches(guards, *it, state)) {
            best = it->packed.row;  // rows of a guard ascend: later ones cannot beat it
            return;
        }
    }
}

// Guard by guard, each list up to the best match so far: for a record that
// raised more guards than the search below keeps cursors for.
int firstMatchingRowGuardByGuard(const RowGuardIndex& guards, int begin, int end, const ClaimState& state) {
    // The lowest matching row among the unguarded rows and the rows guarded by
    // a raised condition: no other row of the range can match.
    int best = end;
    for (int row = guards.nextUnguarded[static_cast<size_t>(begin)]; row < best;
         row = guards.nextUnguarded[static_cast<size_t>(row) + 1])
        if (packedRowMatches(guards, row, state)) best = row;
    for (uint16_t c : state.raisedGuards) testGuardedRows(guards, c, begin, best, state);
    return best < end ? best : -1;
}

// The rows of one raised guard still to be tested, ascending, and the row
// number of the next: a guard whose first row is never the lowest is never
// read.
struct GuardCursor {
    const GuardedRow* next;
    const GuardedRow* last;
    int row;
};

constexpr size_t kMaxCursors = 64;

}  // namespace

void collectRaisedGuards(const RowGuardIndex& guards, ClaimState& state) {
    // Most raised conditions guard no row: they are sorted out without a
    // branch per condition (the list has room for one more than it holds).
    FixedList<uint16_t>& found = state.raisedGuards;
    found.clear();
    for (uint16_t c : state.conditions.raisedConditions) {
        found.items[found.count] = c;
        found.count += guards.guards(c);
    }
}

int firstMatchingGuardedRow(const RowGuardIndex& guards, int begin, int end,
                            const ClaimState& state) {
    // The candidates are the unguarded rows and the rows guarded by a raised
    // condition: no other row of the range can match. They are tested in
    // ascending row order across all guards, so the first match is the answer
    // and no row above it is tested.
    const uint64_t raised = state.conditions.raisedMask;
    GuardCursor cursors[kMaxCursors];
    size_t count = 0;
    for (uint16_t c : state.raisedGuards) {
        // Most raised guards have their rows in other ranges.
        const RowGuardIndex::GuardList& list = guards.lists[c];
        if (list.lastRow < begin || list.firstRow >= end) continue;
        const GuardedRow* last = guards.listed.data() + guards.begin(c + 1u);
        GuardCursor cursor{guards.listed.data() + list.begin, last, list.firstRow};
        if (list.firstRow < begin) {
            // Some of its rows lie before the range: search for the first in it.
            cursor.next = firstGuardedRowFrom(guards, c, begin);
            if (cursor.next == last || cursor.next->packed.row >= end) continue;
            cursor.row = cursor.next->packed.row;
        }
        if (count == kMaxCursors) return firstMatchingRowGuardByGuard(guards, begin, end, state);
        cursors[count++] = cursor;
    }
    int unguarded = guards.nextUnguarded[static_cast<size_t>(begin)];
    for (;;) {
        // The lowest candidate left: the next unguarded row or a cursor's row.
        size_t lowest = count;
        int row = unguarded < end ? unguarded : end;
        for (size_t k = 0; k < count; ++k)
            if (cursors[k].row < row) {
                row = cursors[k].row;
                lowest = k;
            }
        if (row >= end) return -1;
        if (lowest == count) {
            if (packedRowMatches(guards, row, state)) return row;
            unguarded = guards.nextUnguarded[static_cast<size_t>(row) + 1];
            continue;
        }
        GuardCursor& cursor = cursors[lowest];
        const GuardedRow& candidate = *cursor.next;
        if (!(candidate.needs & ~raised) && guardedRowMatches(guards, candidate, state)) return row;
        if (++cursor.next == cursor.last)
            cursor = cursors[--count];
        else
            cursor.row = cursor.next->packed.row;
    }
}

}  // namespace drg
