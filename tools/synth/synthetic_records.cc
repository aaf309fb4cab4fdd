#include "synth/synthetic_records.h"

#include <cstdlib>
#include <cstring>

#include "synth/synth_calendar.h"
#include "tables/table_versions.h"

namespace drg::synth {
namespace {

inline constexpr uint64_t kRecordStream = 2;
const int32_t kFirstDay = dayNumber({2003, 1, 1});
const int32_t kLastDay = dayNumber({2013, 12, 31});

void putDigits(char* at, int width, int64_t value) {
    for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

void putField(char* line, RecordField field, int64_t value) { putDigits(line + field.offset, field.width, value); }

// A value from one of several ranges, the range chosen by cumulative chances
// in thousandths.
struct Band {
    uint32_t upTo;
    int32_t low, high;
};

template <size_t N>
int32_t fromBands(SynthRandom& random, const Band (&bands)[N]) {
    const uint32_t draw = random.below(1000);
    for (const Band& b : bands)
        if (draw < b.upTo) return random.between(b.low, b.high);
    return bands[N - 1].low;
}

constexpr Band kDiagnosisCounts[] = {{150, 1, 1}, {300, 2, 2}, {440, 3, 3}, {560, 4, 4}, {660, 5, 5},
                                     {750, 6, 6}, {830, 7, 7}, {900, 8, 8}, {950, 9, 9}, {1000, 10, 10}};
constexpr Band kProcedureCounts[] = {{400, 0, 0}, {700, 1, 3}, {900, 4, 8}, {1000, 9, 20}};
constexpr Band kStayDays[] = {{5, 0, 0}, {400, 1, 3}, {750, 4, 10}, {950, 11, 30}, {1000, 31, 365}};
constexpr Band kBirthWeights[] = {{15, 300, 749},    {35, 750, 999},    {85, 1000, 1499},
                                  {155, 1500, 1999}, {275, 2000, 2499}, {1000, 2500, 4800}};
constexpr Band kVentilationHours[] = {{400, 1, 24}, {700, 25, 95}, {1000, 96, 2000}};
constexpr Band kStatusDigits[] = {{860, 1, 1}, {890, 2, 2}, {910, 3, 3}, {970, 4, 4}, {990, 5, 5}, {1000, 9, 9}};

constexpr char kProcedureSymbols[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

}  // namespace

RecordGenerator::RecordGenerator(const CodeCatalog& catalog, uint64_t seed)
    : catalog_(catalog), random_(seed, kRecordStream) {
    for (const DiagnosisCode& code : catalog.diagnoses) {
        const int mdc = catalog.categories[code.category].mdc;
        mdcOfDiagnosis_.push_back(mdc);
        const uint32_t position = static_cast<uint32_t>(mdcOfDiagnosis_.size() - 1);
        if (mdc == kNewbornMdc) newbornCodes_.push_back(position);
        if (mdc == kPregnancyMdc) pregnancyCodes_.push_back(position);
    }
    for (size_t i = 0; i < catalog.procedures.size(); ++i)
        if (catalog.procedures[i].mdc == 0) nonSurgical_.push_back(static_cast<uint32_t>(i));
    // Every cut date of every dated table, and the day before each.
    auto addCuts = [&](auto& dates) {
        for (const char* date : dates)
            cutDays_.push_back(static_cast<uint32_t>(dayNumber(fromDateValue(std::atoi(date)))));
    };
    addCuts(kDecisionCutDates);
    addCuts(kLevelCutDates);
    addCuts(kExclusionCutDates);
}

uint32_t RecordGenerator::relatedDiagnosis(uint32_t principal) {
    // A code of the same category or one of the two on either side.
    const int64_t category = static_cast<int64_t>(catalog_.diagnoses[principal].category) + random_.between(-2, 2);
    const int64_t last = static_cast<int64_t>(catalog_.categories.size()) - 1;
    const Category& cat = catalog_.categories[static_cast<size_t>(category < 0      ? 0
                                                                  : category > last ? last
                                                                                    : category)];
    return cat.firstCode + random_.below(cat.codeCount);
}

void RecordGenerator::writeDiagnoses(char* line, int count, bool young, bool mayBePregnant) {
    const uint32_t codes = static_cast<uint32_t>(catalog_.diagnoses.size());
    uint32_t principal = random_.below(codes);
    int slot = 1;
    if (young && random_.perMille(800)) {
        principal = random_.pick(newbornCodes_);
    } else if (mayBePregnant && random_.perMille(150)) {
        principal = random_.pick(pregnancyCodes_);
    } else if (count >= 2 && !catalog_.daggerPairs.empty() && random_.perMille(30)) {
        const DaggerPair& pair = random_.pick(catalog_.daggerPairs);
        principal = pair.principal;
        std::memcpy(line + codeSlotField(2).offset, catalog_.diagnoses[pair.partner].text.data(), kDiagnosisCodeWidth);
        slot = 2;
    }
    principalMdc_ = mdcOfDiagnosis_[principal];
    std::memcpy(line + codeSlotField(1).offset, catalog_.diagnoses[principal].text.data(), kDiagnosisCodeWidth);
    for (++slot; slot <= count; ++slot) {
        char* at = line + codeSlotField(slot).offset;
        if (random_.perMille(10)) {  // a code the release does not know
            at[0] = 'U';
            putDigits(at + 1, 2, random_.below(100));
            at[3] = '.';
            putDigits(at + 4, 1, random_.below(10));
            continue;
        }
        const uint32_t code = random_.perMille(350) ? relatedDiagnosis(principal) : random_.below(codes);
        std::memcpy(at, catalog_.diagnoses[code].text.data(), kDiagnosisCodeWidth);
    }
}

void RecordGenerator::writeProcedures(char* line, int count, int mdc) {
    const auto& surgery = catalog_.surgery[static_cast<size_t>(mdc)];
    const uint32_t codes = static_cast<uint32_t>(catalog_.procedures.size());
    for (int k = 0; k < count; ++k) {
        char* at = line + codeSlotField(kFirstProcedureSlot + k).offset;
        if (random_.perMille(10)) {  // unknown: no chapter 7 in the release
            at[0] = '7';
            at[1] = '-';
            putDigits(at + 2, 2, random_.below(100));
            at[4] = kProcedureSymbols[random_.below(36)];
            continue;
        }
        // Operations of the principal diagnosis's system, other procedures,
        // and now and then an operation of any system.
        const uint32_t draw = random_.below(1000);
        const uint32_t code = draw < 40                        ? random_.below(codes)
                              : draw < 400 && !surgery.empty() ? random_.pick(surgery)
                                                               : random_.pick(nonSurgical_);
        std::memcpy(at, catalog_.procedures[code].text.data(), kProcedureCodeWidth);
    }
}

void RecordGenerator::next(char* line) {
    std::memset(line, ' ', kRecordLength);
    line[kRecordLength] = '\n';
    putField(line, kRecordHead, static_cast<int64_t>(++number_ % 100000000));

    // Effective date: any day of eleven years, and now and then a cut date
    // or the day before one.
    int32_t day = kFirstDay + static_cast<int32_t>(random_.below(static_cast<uint32_t>(kLastDay - kFirstDay + 1)));
    if (random_.perMille(20)) {
        day = static_cast<int32_t>(random_.pick(cutDays_));
        day -= static_cast<int32_t>(random_.below(2));
    }
    const CivilDate stay = civilDate(day);
    putField(line, kEffectiveDate, dateValue(stay));

    // Age: newborns, infants, children and adults up to 100.
    const uint32_t ageClass = random_.below(1000);
    const bool newborn = ageClass < 30, infant = ageClass >= 30 && ageClass < 60;
    int32_t birthDay;
    if (newborn) {
        birthDay = day - random_.between(0, 27);
    } else if (infant) {
        birthDay = day - random_.between(28, 364);
    } else {
        const int32_t years = ageClass < 180          ? random_.between(1, 17)
                              : random_.perMille(500) ? random_.between(18, 100)
                                                      : random_.between(55, 95);
        birthDay = day - years * 365 - years / 4 - random_.between(0, 364);
    }
    const CivilDate birth = civilDate(birthDay);
    bool male = random_.perMille(500);
    char* birthText = line + kBirthDate.offset;
    putDigits(birthText, 2, birth.year % 100);
    putDigits(birthText + 2, 2, birth.month);
    putDigits(birthText + 4, 2, birth.day);
    const uint32_t oddBirth = random_.below(1000);
    if (oddBirth < 10)
        std::memcpy(birthText + 2, "0000", 4);  // birth day unknown
    else if (oddBirth < 13)
        std::memcpy(birthText + 2, "13", 2);  // no such month: the age is unknown
    putDigits(line + kCenturySexDigit.offset + 1, 6, random_.below(1000000));

    const int32_t stayDays = newborn ? random_.between(1, 30) : fromBands(random_, kStayDays);
    putField(line, kStayDaysText, stayDays);
    if (random_.perMille(1)) line[kStayDaysText.offset + 1] = 'X';
    putField(line, kStatusDigit, fromBands(random_, kStatusDigits));

    const int years = stay.year - birth.year;
    writeDiagnoses(line, fromBands(random_, kDiagnosisCounts), newborn || infant, !male && years >= 15 && years <= 45);
    // A principal diagnosis of one sex nearly always comes with that sex.
    const bool maleOnly = principalMdc_ == kMaleMdc,
               femaleOnly = principalMdc_ == kFemaleMdc || principalMdc_ == kPregnancyMdc;
    if (((maleOnly && !male) || (femaleOnly && male)) && random_.perMille(990)) male = !male;
    char century = birth.year >= 2000 ? (male ? '3' : '4') : (male ? '1' : '2');
    if (oddBirth < 10) century = male ? '7' : '8';
    line[kCenturySexDigit.offset] = century;
    const int procedures = newborn && random_.perMille(700) ? 0 : fromBands(random_, kProcedureCounts);
    writeProcedures(line, procedures, principalMdc_);

    if ((newborn && random_.perMille(950)) || (infant && random_.perMille(200)))
        putField(line, kBirthWeightText, fromBands(random_, kBirthWeights));
    else if (random_.perMille(10))
        putField(line, kBirthWeightText, 0);
    if (random_.perMille(newborn ? 100 : 50))
        putField(line, kVentilationHoursText, fromBands(random_, kVentilationHours));
    else if (random_.perMille(10))
        putField(line, kVentilationHoursText, 0);

    if (random_.perMille(20))  // typed in lower case
        for (int c = kDiagnosisSlotsField.offset; c < kBirthWeightText.offset; ++c)
            if (line[c] >= 'A' && line[c] <= 'Z') line[c] = static_cast<char>(line[c] - 'A' + 'a');
}

bool writeRecords(const CodeCatalog& catalog, uint64_t seed, uint64_t count, std::FILE* out) {
    RecordGenerator generator(catalog, seed);
    constexpr size_t kBatch = 8192;
    std::vector<char> buffer(kBatch * kLineLength);
    for (uint64_t done = 0; done < count;) {
        const size_t n = static_cast<size_t>(count - done < kBatch ? count - done : kBatch);
        for (size_t i = 0; i < n; ++i) generator.next(buffer.data() + i * kLineLength);
        if (std::fwrite(buffer.data(), kLineLength, n, out) != n) return false;
        done += n;
    }
    return true;
}

}  // namespace drg::synth
