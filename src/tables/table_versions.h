#pragma once
// Tables that come in dated versions: the decision tables (6), the
// complication level tables (3) and the CC exclusion tables (3). A record
// uses the version in force on its effective date, chosen by comparing the
// date text with fixed cut dates; a date equal to a cut date takes the later
// version.

#include <array>
#include <span>
#include <string>

namespace drg {

inline constexpr std::array<const char*, 5> kDecisionCutDates = {"20050101", "20090101", "20091001", "20110101",
                                                                 "20120701"};
inline constexpr std::array<const char*, 2> kLevelCutDates = {"20091201", "20120701"};
inline constexpr std::array<const char*, 2> kExclusionCutDates = {"20080101", "20111101"};

// The version (0 for the first) that an 8-character effective date text
// chooses: the number of cut dates it does not sort before.
int versionForDate(const char* effectiveDate, std::span<const char* const> cutDates);

inline int decisionTableVersion(const char* effectiveDate) {
    return versionForDate(effectiveDate, kDecisionCutDates);
}
inline int levelTableVersion(const char* effectiveDate) { return versionForDate(effectiveDate, kLevelCutDates); }
inline int exclusionTableVersion(const char* effectiveDate) {
    return versionForDate(effectiveDate, kExclusionCutDates);
}

// The dates on which a version is in force, in words: "before 20050101",
// "20050101 to 20081231", "from 20120701".
std::string versionPeriod(std::span<const char* const> cutDates, int version);

}  // namespace drg
