#pragma once
// Everything the grouper derives from one record. Each worker owns one
// instance for its whole life and rebuilds it for every record; its arrays
// are sized once from the condition count, so no record allocates. The
// tables and their lookup aids are shared by all workers and only read.

#include <array>
#include <cstdint>
#include <vector>

#include "conditions/grouping_observer.h"
#include "record/record_layout.h"
#include "tables/table_lookups.h"
#include "tables/table_set.h"

namespace drg {

inline constexpr int kLastMarkedProcedureSlot = 41;  // slots 42..46 leave no marks
inline constexpr int kMarkedProcedureSlots = kLastMarkedProcedureSlot - kFirstProcedureSlot + 1;

// The conditions that the derived rules ask of each procedure slot (a
// procedure of kind 357 without one of the others): only these are marked
// per slot, one bit each in this order.
inline constexpr std::array<int, 9> kSlotMarkedConditions = {357, 358, 359, 743, 745, 746, 747, 748, 759};

constexpr uint16_t slotMarkBit(int c) {
    for (size_t i = 0; i < kSlotMarkedConditions.size(); ++i)
        if (kSlotMarkedConditions[i] == c) return static_cast<uint16_t>(1u << i);
    return 0;
}

// A list sized once for the most it can ever hold, so that adding to it
// never allocates or checks for room.
template <class T>
struct FixedList {
    std::vector<T> items;
    size_t count = 0;

    void reserveAll(size_t capacity) {
        items.assign(capacity, T{});
        count = 0;
    }
    void push(T value) { items[count++] = value; }
    void clear() { count = 0; }
    const T* begin() const { return items.data(); }
    const T* end() const { return items.data() + count; }
    size_t size() const { return count; }
};

struct ConditionFlags {
    uint16_t conditionCount = 0;       // N: conditions 1..N-1, 0 always set, N always clear
    std::vector<uint8_t> flag;         // N + 1
    std::vector<uint8_t> hitCount;     // N, wrapping; read as signed 8-bit
    std::vector<uint8_t> derivedMark;  // N
    // Per procedure slot 11..41, the slotMarkBit of each marked condition it
    // raised; and per condition its slotMarkBit (0 for most), read as each
    // entry is raised.
    std::array<uint16_t, kMarkedProcedureSlots> slotMarks{};
    std::vector<uint16_t> markBitOf;  // N

    // What the current record wrote, so that the next one clears only that.
    FixedList<uint16_t> raisedConditions;
    // Bit c mod 64 of every raised condition (conditionBit): one test rejects
    // a decision row that needs a condition the record did not raise.
    uint64_t raisedMask = 0;

    int8_t hits(int c) const { return static_cast<int8_t>(hitCount[c]); }
    // Whether the slot raised condition c, for the conditions of kSlotMarkedConditions.
    bool slotCondition(int slot, int c) const {
        if (slot < kFirstProcedureSlot || slot > kLastMarkedProcedureSlot) return false;
        return (slotMarks[static_cast<size_t>(slot - kFirstProcedureSlot)] & slotMarkBit(c)) != 0;
    }
};

struct ClaimState {
    int32_t effectiveDateNumber = 0;
    int16_t ageYears = 0;
    int32_t ageDays = 0;
    int16_t sexDigit = 0;
    int16_t statusCode = 0;
    int16_t stayDays = 0;
    int16_t birthWeight = 0;
    int16_t ventilationHours = 0;
    std::array<int16_t, kSlotCount> codeIds{};
    // The slots whose text is not blank, ascending: the only ones whose code
    // id can be other than 0 (the others are 0), so later steps visit these.
    std::array<uint8_t, kSlotCount> codedSlots{};
    int codedSlotCount = 0;
    // Per slot, the "Tcode" entries of its code, found with the code; read
    // only where the code id is not 0.
    std::array<CodeEntryRange, kSlotCount> entryRanges{};
    ConditionFlags conditions;
    // The raised conditions that guard rows of the active decision table,
    // picked out once for both decision passes.
    FixedList<uint16_t> raisedGuards;

    int16_t mdcIndex = 0;
    int16_t adrgIndex = 0;
    char adrgSuffix = '0';
    int16_t refinedAdrgIndex = 0;  // an entry number of "Taadrg.idx", read as unsigned
    std::array<int16_t, 11> cclBySlot{};
    std::array<char, 6> finalGroupCode{};
    int16_t pccl = 0;

    // Table versions in force on the record's effective date.
    const DecisionTable* activeDecisionTable = nullptr;
    int activeDecisionVersion = -1;  // 0..5 once chosen; picks the matching lookups
    const ComplicationLevelTable* activeLevelTable = nullptr;
    int activeLevelVersion = -1;  // 0..2 once chosen
    const LevelRowIndex* activeLevelRows = nullptr;  // its packed rows, when usable
    const CcExclusionTable* activeExclusionTable = nullptr;
    const SharedExclusionLists* activeExclusionLists = nullptr;  // its shared lists, when usable

    // Whether "Tcond.idx" marks exactly the built-in derived conditions as
    // derived; it does not depend on the record, so it is decided once.
    bool conditionKindsAgree = false;

    // The lookup aids of the release this state groups against.
    const TableLookups* lookups = nullptr;

    // Told how the result comes about, when someone asks; usually none.
    GroupingObserver* observer = nullptr;
};

// Sizes the per-record arrays for the loaded condition count, decides the
// condition kind check and binds the state to the release's lookup aids
// (built from the same tables). Call once before the first record.
void initClaimState(ClaimState& state, const TableSet& tables, const TableLookups& lookups);

}  // namespace drg
