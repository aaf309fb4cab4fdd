#pragma once
// Columns of a claim record (one line of "valtic.in"), counted from 0.
// Every part of the grouper addresses the record through these fields.

namespace drg {

struct RecordField {
    int offset;
    int width;
};

inline constexpr RecordField kRecordHead{0, 8};
inline constexpr RecordField kPersonId{8, 13};
inline constexpr RecordField kBirthDate{8, 6};          // YYMMDD
inline constexpr RecordField kCenturySexDigit{14, 1};   // birth century; odd male, even female
inline constexpr RecordField kEffectiveDate{21, 8};     // YYYYMMDD
inline constexpr RecordField kStayDaysText{29, 3};
inline constexpr RecordField kStatusDigit{32, 1};
inline constexpr RecordField kDiagnosisSlotsField{33, 60};   // slots 1..10, 6 characters each
inline constexpr RecordField kProcedureSlotsField{93, 180};  // slots 11..46, 5 characters each
inline constexpr RecordField kBirthWeightText{273, 5};
inline constexpr RecordField kVentilationHoursText{278, 5};
inline constexpr RecordField kMdcOut{283, 3};
inline constexpr RecordField kAdrgOut{286, 4};
inline constexpr RecordField kPcclOut{290, 1};
inline constexpr RecordField kDrgOut{291, 6};
inline constexpr RecordField kVersionDateOut{297, 8};

// The fixed part of a record; columns from here on are the record tail.
inline constexpr int kRecordLength = 305;

// Code slots are numbered 1..46: 1..10 diagnoses (1 the principal), 11..46
// procedures. Slot 0 is never used, so arrays by slot have 47 places.
inline constexpr int kDiagnosisSlots = 10;
inline constexpr int kFirstProcedureSlot = 11;
inline constexpr int kLastSlot = 46;
inline constexpr int kSlotCount = kLastSlot + 1;
inline constexpr int kDiagnosisCodeWidth = 6;
inline constexpr int kProcedureCodeWidth = 5;

// Start of code slot s (1..46) and its width.
constexpr RecordField codeSlotField(int slot) {
    return slot <= kDiagnosisSlots
               ? RecordField{kDiagnosisSlotsField.offset + kDiagnosisCodeWidth * (slot - 1), kDiagnosisCodeWidth}
               : RecordField{kProcedureSlotsField.offset + kProcedureCodeWidth * (slot - kFirstProcedureSlot),
                             kProcedureCodeWidth};
}

static_assert(codeSlotField(46).offset + codeSlotField(46).width == kBirthWeightText.offset);
static_assert(kVersionDateOut.offset + kVersionDateOut.width == kRecordLength);

}  // namespace drg
