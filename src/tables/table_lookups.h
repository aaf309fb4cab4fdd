#pragma once
// Lookup aids derived once from a loaded table set, so that a record's cost
// follows what it touches rather than the size of the tables. Every answer
// is the one the plain scans of the tables would give.

#include <array>
#include <cstdint>
#include <vector>

#include "tables/table_set.h"

namespace drg {

// Decision rows grouped by their guard: the must-be-set condition of the row
// that the fewest codes raise. A row can match only when its guard is set, so
// a record need test only the rows guarded by conditions it raised, and the
// unguarded ones (guard 0). Rows of each guard ascend.
struct RowGuardIndex {
    // Per row, what its test reads, in one place: its dates and where its
    // conditions start in `terms`, the empty places left out: first the
    // `setTerms` that must be set, then those that must be clear.
    struct PackedRow {
        int32_t validFrom;
        int32_t validTo;
        uint32_t termBegin;
        uint8_t setTerms;
        uint8_t termCount;
        uint16_t row;  // its number in the table
    };
    // A row in its guard's list, with bit c mod 64 of each of its
    // must-be-set conditions (a row can match only when the record raised
    // conditions of all of its bits) and its test, its terms too when it has
    // no more than kInlineTerms: a guarded row is tested from the line that
    // listed it.
    static constexpr int kInlineTerms = 4;
    struct GuardedRow {
        uint64_t needs;
        PackedRow packed;
        uint16_t inlineTerms[kInlineTerms];
        const uint16_t* termsOf(const RowGuardIndex& index) const {
            return packed.termCount <= kInlineTerms ? inlineTerms : index.terms.data() + packed.termBegin;
        }
    };

    // Where a guard's rows lie in `listed`, from its `begin` to the next
    // guard's, and the first and last row of them (a guard with no rows has
    // first above last): a range outside that span holds none of them, known
    // without reading the list.
    struct GuardList {
        uint32_t begin;
        uint16_t firstRow;
        uint16_t lastRow;
    };
    std::vector<GuardList> lists;  // per guard 0..N, plus an end: N + 2
    std::vector<GuardedRow> listed;
    // Bit c of word c / 64: condition c guards some row.
    std::vector<uint64_t> guarding;
    // Per row r, the first unguarded row at r or after it (rowCount if none):
    // the rows every record must test, found without a search.
    std::vector<uint16_t> nextUnguarded;
    std::vector<PackedRow> packedRows;  // by row number
    std::vector<uint16_t> terms;

    bool guards(unsigned c) const { return (guarding[c >> 6] >> (c & 63u)) & 1u; }
    uint32_t begin(unsigned guard) const { return lists[guard].begin; }
};

// The bit of condition c in a row's `needs` and in a record's raised mask.
inline uint64_t conditionBit(unsigned c) { return uint64_t{1} << (c & 63u); }

// A code-condition entry of "Tcode" packed with what decides whether it
// applies: its dates and the slots its condition may be raised from (held
// within 0..47, which keeps every answer for slots 1..46).
struct PackedCodeEntry {
    int32_t validFrom;
    int32_t validTo;
    uint16_t condition;
    uint8_t firstSlot;
    uint8_t lastSlot;
};

struct CodeEntryRange {
    int32_t begin;
    int32_t end;
};

// One version of "Tccl" with what a level lookup reads kept together: per
// diagnosis its range of rows with its first row's dates and profile, per
// row its dates and profile. When the first row fits the record's date, the
// lookup reads the diagnosis's 16 bytes and the matrix cell, nothing else.
// Each distinct run of rows is held once, so what the lookups read stays
// small. Row numbers here are not the table's: a diagnosis's i-th row is
// the table's row begin + i.
struct LevelRowIndex {
    struct Range {
        int32_t firstValidFrom;
        int32_t firstValidTo;
        int16_t begin;
        int16_t end;
        int16_t firstProfile;
    };
    struct Row {
        int32_t validFrom;
        int32_t validTo;
        int16_t profile;
        int16_t unused = 0;  // no padding: rows are compared by their bytes
    };
    bool usable = false;
    std::vector<Range> byDiagnosis;
    std::vector<Row> rows;
};

// "Taadrg.idx" entries by text: for each distinct text (bytes after a NUL
// count as NUL) the lowest entry number that holds it.
struct RefinedCodeIndex {
    std::vector<uint64_t> keys;      // ascending
    std::vector<uint16_t> entries;   // lowest entry number of each key
};

// "Tadrg1".."Tadrg5" rows of each ADRG packed together, each with the refined
// code entry that its suffix gives, so that refining an ADRG reads its rows
// and nothing else: no ADRG text, no search of the refined codes. Built only
// when the rows of all ADRGs fit in twice the table's rows (a valid release
// has each row in one ADRG's range); otherwise refinement reads the tables.
struct RefinementIndex {
    struct Row {
        int32_t validFrom;
        int32_t validTo;
        int16_t minAge;
        int16_t maxAge;
        uint16_t refinedEntry;  // the lowest entry holding the ADRG text plus suffix, or 0 for none
        char suffix;
    };
    struct Adrg {
        uint32_t firstRow;      // into `rows`
        uint16_t rowCount;
        uint16_t entryWithoutRow;  // the entry of suffix '0', taken when no row fits
    };
    bool usable = false;
    std::vector<Adrg> byAdrg;  // per "Tadrg.idx" entry
    std::vector<Row> rows;
};

// A code index as a hash table from code text to code id. Built only when
// positions 1..N-1 ascend strictly: the binary search then finds a text
// exactly when it stands at one of them, which is what the table answers.
struct CodeHashIndex {
    bool usable = false;
    int width = 0;
    unsigned shift = 64;
    // A place holds the code's text key shifted up by 16 with its id in the
    // low 16 bits (0 marks an empty place), and beside it the id's range of
    // "Tcode" entries: the lookup reads where the code's entries lie from
    // the same line that found the code.
    struct Place {
        uint64_t keyAndId;
        CodeEntryRange entries;
    };
    std::vector<Place> places;
};

// A diagnosis's exclusion list as the list test reads it, in one 16-byte
// line. Lists ascend and name related codes, whose ids mostly follow each
// other: a list of up to two runs of ids (from low to high) is answered from
// here alone. Any other list (more runs, or out of order) keeps run 0 as
// its first and last entries, which bound it, run 1 empty, and is scanned
// in [scanBegin, scanEnd) of the shared entries; an empty list has both
// runs empty.
struct alignas(16) ExclusionListAid {
    int16_t low[2];
    int16_t high[2];
    int32_t scanBegin;
    int32_t scanEnd;
};

// One version of "Tccedit".."Tccedit2" with each distinct list held once.
// A release gives many diagnoses the same list (one per exclusion class), so
// the lists that records read are few and close together. Usable only when
// the table's every diagnosis has a range within its list.
struct SharedExclusionLists {
    bool usable = false;
    std::vector<ExclusionListAid> byDiagnosis;
    std::vector<int16_t> entries;
};

struct TableLookups {
    CodeHashIndex diagnosisCodes;
    CodeHashIndex procedureCodes;
    std::array<RowGuardIndex, kDecisionVersions> decisionRowGuards;
    RefinedCodeIndex refinedCodeIndex;
    RefinementIndex refinements;
    // "Tcode" entries packed, each code's run of entries held once however
    // many codes carry the same run; the runs of a code's entries keep their
    // order, so the table's entry number of the i-th entry of a code's range
    // is that code's table begin plus i.
    std::vector<PackedCodeEntry> codeEntries;
    // Per diagnosis and per procedure id, its begin and end in `codeEntries`
    // side by side: one read where the table keeps two arrays.
    std::vector<CodeEntryRange> diagnosisEntryRanges;
    std::vector<CodeEntryRange> procedureEntryRanges;
    std::array<LevelRowIndex, kLevelVersions> levelRows;
    std::array<SharedExclusionLists, kExclusionVersions> exclusionLists;
    // Bit d % 64 of word d / 64: some entry of diagnosis d raises a
    // condition that only fits one sex (373 or 388, from slot 1 only). Few
    // do, and bits stay in the cache where a byte per diagnosis does not.
    std::vector<uint64_t> sexSpecificDiagnoses;
    // Bit d % 64 of word d / 64: diagnosis d has asterisk partners. Few do,
    // and this is small enough to stay in the cache where the pair table's
    // ranges are not.
    std::vector<uint64_t> hasAsteriskPartners;

    bool sexSpecific(int16_t d) const { return diagnosisBit(sexSpecificDiagnoses, d, false); }
    bool mayHavePartners(int16_t d) const { return diagnosisBit(hasAsteriskPartners, d, true); }

    // Bit d of a bitset by diagnosis id; `beyond` for an id past its end.
    static bool diagnosisBit(const std::vector<uint64_t>& bits, int16_t d, bool beyond) {
        const auto id = static_cast<size_t>(static_cast<uint16_t>(d));
        return id / 64 < bits.size() ? ((bits[id / 64] >> (id % 64)) & 1u) != 0 : beyond;
    }
};

// Conditions of diagnoses that only fit one sex; a secondary diagnosis that
// raises one of them counts for nothing in a patient of the other sex.
inline constexpr int kFemaleOnlyCondition = 373;  // cancelled for an odd (male) sex digit
inline constexpr int kMaleOnlyCondition = 388;    // cancelled for an even (female) sex digit

TableLookups buildTableLookups(const TableSet& tables);

SharedExclusionLists shareExclusionLists(const CcExclusionTable& table);

// A text of up to 8 bytes as a number that orders and compares like the
// bounded C string comparison over `width` bytes: bytes after the first NUL
// are taken as NUL, and the first byte is the most significant.
uint64_t textKey(const char* text, int width);

// The code id of a slot text, as lookupCode gives it; a hash table that is
// not usable falls back to the binary search itself.
int16_t lookupSlotCode(const TableLookups& lookups, const TableSet& tables, const char* slotText, int slot);

// The code ids of the record's slots `slots[0..count)` (at most kSlotCount),
// each as lookupSlotCode gives it, and each id's range of "Tcode" entries
// (empty for id 0). The hash places of all are fetched before the first is
// read, so the lookups wait on memory together, and so are the first
// entries of every code found.
void lookupSlotCodes(const TableLookups& lookups, const TableSet& tables, const char* record, const uint8_t* slots,
                     int count, int16_t* ids, CodeEntryRange* entryRanges);

// lookupSlotCodes in two halves, so that other work can run while the hash
// places arrive: the first computes each slot's key into `keys` and fetches
// its place, the second finds the codes.
void startSlotLookups(const TableLookups& lookups, const char* record, const uint8_t* slots, int count,
                      uint64_t* keys);
void finishSlotLookups(const TableLookups& lookups, const TableSet& tables, const char* record, const uint8_t* slots,
                       int count, const uint64_t* keys, int16_t* ids, CodeEntryRange* entryRanges);

// The range of "Tcode" entries of code `id` of the slot's kind; empty for an
// id that has none.
CodeEntryRange codeEntryRange(const TableLookups& lookups, int slot, int16_t id);

// Lowest entry number holding `key`, or -1.
int findRefinedCode(const RefinedCodeIndex& index, uint64_t key);

// The key of ADRG entry `adrg` refined by `suffix`: its text up to a NUL,
// at most four bytes, then the suffix.
uint64_t refinedCodeKey(const TableSet& tables, uint32_t adrg, char suffix);

}  // namespace drg
