#pragma once
// Tables that come in dated versions: the decision tables (6), the
// complication level tables (3) and the CC exclusion tables (3). A record
// uses the version in force on its effective date, chosen by comparing the
// date text with fixed cut dates; a date equal to a cut date takes the later
// version.

#include <array>
#include <cstdint>
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

// A date text as a number that orders like the bounded text comparison of
// 8 characters (bytes after a NUL count as NUL): versions are chosen by
// comparing numbers instead of texts.
uint64_t dateTextKey(const char* effectiveDate);

constexpr uint64_t cutDateKey(const char* date) {
    uint64_t key = 0;
    for (int i = 0; i < 8; ++i) key = (key << 8) | static_cast<unsigned char>(date[i]);
    return key;
}

template <size_t N>
constexpr std::array<uint64_t, N> cutDateKeys(const std::array<const char*, N>& dates) {
    std::array<uint64_t, N> keys{};
    for (size_t i = 0; i < N; ++i) keys[i] = cutDateKey(dates[i]);
    return keys;
}

inline constexpr auto kDecisionCutKeys = cutDateKeys(kDecisionCutDates);
inline constexpr auto kLevelCutKeys = cutDateKeys(kLevelCutDates);
inline constexpr auto kExclusionCutKeys = cutDateKeys(kExclusionCutDates);

template <size_t N>
int versionForDateKey(uint64_t key, const std::array<uint64_t, N>& cutKeys) {
    int version = 0;
    for (uint64_t cut : cutKeys) version += key >= cut;
    return version;
}

inline int decisionTableVersion(const char* effectiveDate) {
    return versionForDateKey(dateTextKey(effectiveDate), kDecisionCutKeys);
}
inline int levelTableVersion(const char* effectiveDate) {
    return versionForDateKey(dateTextKey(effectiveDate), kLevelCutKeys);
}
inline int exclusionTableVersion(const char* effectiveDate) {
    return versionForDateKey(dateTextKey(effectiveDate), kExclusionCutKeys);
}

// The dates on which a version is in force, in words: "before 20050101",
// "20050101 to 20081231", "from 20120701".
std::string versionPeriod(std::span<const char* const> cutDates, int version);

}  // namespace drg
