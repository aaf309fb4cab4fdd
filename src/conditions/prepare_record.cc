#include "conditions/prepare_record.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "conditions/code_conditions.h"
#include "conditions/derived_conditions.h"
#include "record/age.h"
#include "record/digits.h"
#include "record/record_layout.h"
#include "tables/code_lookup.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

int32_t digitField(const char* record, RecordField field) {
    return parseDigits(record + field.offset, field.width);
}

int16_t low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value))); }

// The code slots lie side by side, diagnoses then procedures.
constexpr int kSlotBytesBegin = kDiagnosisSlotsField.offset;
constexpr int kSlotBytes = kDiagnosisSlotsField.width + kProcedureSlotsField.width;
static_assert(kProcedureSlotsField.offset == kSlotBytesBegin + kDiagnosisSlotsField.width);
static_assert(kSlotBytes % 16 == 0);

// Bit i set when byte i of the 16 at `text` is not a blank.
uint32_t nonBlankBits16(const char* text) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')))) & 0xFFFFu;
#else
    uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= static_cast<uint32_t>(text[i] != ' ') << i;
    return bits;
#endif
}

// Bit i of word i / 64 set when slot byte i is not a blank.
using SlotByteBits = std::array<uint64_t, (kSlotBytes + 63) / 64>;

// The first slot byte at or after `from` that is not a blank, or kSlotBytes.
int firstNonBlankFrom(const SlotByteBits& bits, int from) {
    if (from >= kSlotBytes) return kSlotBytes;
    size_t w = static_cast<size_t>(from) / 64;
    uint64_t word = bits[w] & (~uint64_t{0} << (from % 64));
    while (word == 0) {
        if (++w == bits.size()) return kSlotBytes;
        word = bits[w];
    }
    return static_cast<int>(w * 64) + std::countr_zero(word);
}

int slotOfByte(int byte) {
    if (byte < kDiagnosisSlotsField.width) return 1 + byte / kDiagnosisCodeWidth;
    return kFirstProcedureSlot + (byte - kDiagnosisSlotsField.width) / kProcedureCodeWidth;
}

// Lists in codedSlots the slots that hold anything but blanks, ascending:
// the blank bytes of all slots are found sixteen at a time, and the walk
// jumps from each coded slot to the next byte that is not blank.
void findCodedSlots(ClaimState& state, const char* record) {
    SlotByteBits bits{};
    const char* slots = record + kSlotBytesBegin;
    for (int chunk = 0; chunk < kSlotBytes / 16; ++chunk)
        bits[static_cast<size_t>(chunk / 4)] |= static_cast<uint64_t>(nonBlankBits16(slots + 16 * chunk))
                                                << (16 * (chunk % 4));
    int count = 0;
    for (int byte = firstNonBlankFrom(bits, 0); byte < kSlotBytes;) {
        const int s = slotOfByte(byte);
        state.codedSlots[static_cast<size_t>(count++)] = static_cast<uint8_t>(s);
        const RecordField field = codeSlotField(s);
        byte = firstNonBlankFrom(bits, field.offset + field.width - kSlotBytesBegin);
    }
    state.codedSlotCount = count;
}

// The non-blank slots and their hash places on the way; the slot texts are
// upper-cased already.
void startLookups(ClaimState& state, const char* record, uint64_t* keys) {
    findCodedSlots(state, record);
    startSlotLookups(*state.lookups, record, state.codedSlots.data(), state.codedSlotCount, keys);
}

// Sets an array to zeros with sixteen-byte stores: the compiler clears
// arrays of these sizes with a string instruction, whose start-up costs
// more than the whole of these stores.
template <class T, size_t N>
void clearWithStores(std::array<T, N>& items) {
    using Bytes16 = char __attribute__((vector_size(16)));
    constexpr size_t kBytes = sizeof(items);
    static_assert(kBytes >= 16);
    const Bytes16 zero{};
    char* bytes = reinterpret_cast<char*>(items.data());
    for (size_t at = 0; at + 16 <= kBytes; at += 16) std::memcpy(bytes + at, &zero, 16);
    std::memcpy(bytes + kBytes - 16, &zero, 16);
}

void finishLookups(ClaimState& state, const TableSet& tables, const char* record, const uint64_t* keys) {
    // Every slot has id 0 until it is looked up.
    clearWithStores(state.codeIds);
    std::array<int16_t, kSlotCount> ids;
    std::array<CodeEntryRange, kSlotCount> ranges;
    finishSlotLookups(*state.lookups, tables, record, state.codedSlots.data(), state.codedSlotCount, keys, ids.data(),
                      ranges.data());
    for (int n = 0; n < state.codedSlotCount; ++n) {
        const int s = state.codedSlots[static_cast<size_t>(n)];
        state.codeIds[s] = ids[static_cast<size_t>(n)];
        state.entryRanges[s] = ranges[static_cast<size_t>(n)];
        if (state.observer) state.observer->codeLookedUp(s, state.codeIds[s]);
    }
}

// The first occurrence of a diagnosis stays; later repeats count as empty.
void removeRepeatedDiagnoses(ClaimState& state) {
    const uint8_t* slots = state.codedSlots.data();
    int diagnoses = 0;
    while (diagnoses < state.codedSlotCount && slots[diagnoses] <= kDiagnosisSlots) ++diagnoses;
    for (int a = 0; a < diagnoses; ++a) {
        const int i = slots[a];
        if (state.codeIds[i] == 0) continue;
        for (int b = a + 1; b < diagnoses; ++b) {
            const int j = slots[b];
            if (state.codeIds[j] == state.codeIds[i]) {
                state.codeIds[j] = 0;
                if (state.observer) state.observer->repeatDropped(j, i);
            }
        }
    }
}

// A principal diagnosis whose dated asterisk partner stands in slot 2 trades
// places with it: only the ids move, the record's texts stay.
void exchangeDaggerAsterisk(ClaimState& state, const TableSet& tables) {
    const int16_t partner = state.codeIds[2];
    if (partner == 0) return;
    const DaggerAsteriskTable& pairs = tables.daggerAsterisk;
    const int16_t principal = state.codeIds[1];
    if (!state.lookups->mayHavePartners(principal)) return;
    const int32_t d = state.effectiveDateNumber;
    for (int32_t k = pairs.pairBegin[principal]; k < pairs.pairEnd[principal]; ++k) {
        if (pairs.pairValidFrom[k] <= d && d <= pairs.pairValidTo[k] && pairs.pairPartner[k] == partner) {
            std::swap(state.codeIds[1], state.codeIds[2]);
            std::swap(state.entryRanges[1], state.entryRanges[2]);
            // A blank principal (id 0) may have partners too: it now holds one.
            if (state.codedSlots[0] != 1) {
                std::memmove(state.codedSlots.data() + 1, state.codedSlots.data(),
                             static_cast<size_t>(state.codedSlotCount));
                state.codedSlots[0] = 1;
                ++state.codedSlotCount;
            }
            if (state.observer) state.observer->daggerAsteriskExchanged(k);
            return;
        }
    }
}

}  // namespace

void resetConditionFlags(ConditionFlags& f) {
    for (uint16_t c : f.raisedConditions) {
        f.flag[c] = 0;
        f.hitCount[c] = 0;
    }
    f.raisedConditions.clear();
    f.raisedMask = 0;
    // Condition 0 is always set, so it never enters the list above.
    f.hitCount[0] = 0;
    f.flag[0] = 1;
    clearWithStores(f.slotMarks);
    // derivedMark is the same for every record and is set once.
}

int prepareRecord(ClaimState& state, const TableSet& tables, char* record, size_t length) {
    // Codes are looked up upper-cased; the other fields lie outside the code
    // slots and are read as they came. The slots go first, so the hash
    // places of their codes arrive while the fields are read.
    const size_t slotsBegin = std::min<size_t>(length, kSlotBytesBegin);
    const size_t slotsEnd = std::min<size_t>(length, kSlotBytesBegin + kSlotBytes);
    upperCase(record + slotsBegin, slotsEnd - slotsBegin);
    std::array<uint64_t, kSlotCount> keys;
    startLookups(state, record, keys.data());

    state.effectiveDateNumber = digitField(record, kEffectiveDate);
    const Age age = computeAge(record + kBirthDate.offset, record + kEffectiveDate.offset,
                               record[kCenturySexDigit.offset]);
    state.ageYears = low16(age.years);
    state.ageDays = age.days;
    state.sexDigit = static_cast<int16_t>(static_cast<signed char>(record[kCenturySexDigit.offset]) - '0');
    state.statusCode = low16(digitField(record, kStatusDigit));
    state.stayDays = low16(digitField(record, kStayDaysText));
    state.birthWeight = low16(digitField(record, kBirthWeightText));
    state.ventilationHours = low16(digitField(record, kVentilationHoursText));
    upperCase(record, slotsBegin);
    upperCase(record + slotsEnd, length - slotsEnd);

    // The codes' entries are on their way while the last record's results
    // are cleared.
    finishLookups(state, tables, record, keys.data());
    resetConditionFlags(state.conditions);
    state.cclBySlot.fill(0);
    state.finalGroupCode.fill('\0');
    state.pccl = 0;
    state.mdcIndex = 0;
    state.adrgIndex = 0;
    state.refinedAdrgIndex = 0;
    state.adrgSuffix = '0';
    removeRepeatedDiagnoses(state);
    exchangeDaggerAsterisk(state, tables);
    raiseCodeConditions(state, tables);
    deriveConditions(state);

    return state.conditionKindsAgree ? kPrepareOk : kPrepareLogicError;
}

}  // namespace drg
