#pragma once
// The counts of a grouping run by result: records, records without MDC or
// DRG, records per MDC, per PCCL and per DRG. One summary per worker thread,
// merged at the end; counting a record allocates only when it brings an MDC
// or DRG text not seen before.

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace drg::report {

class RunSummary {
public:
    // One grouped record by its result columns as written: MDC (3 bytes),
    // PCCL digit, DRG (6 bytes).
    void add(std::string_view mdc, char pcclDigit, std::string_view drg);
    void merge(const RunSummary& other);

    uint64_t records() const { return records_; }
    uint64_t withoutMdc() const { return withoutMdc_; }
    uint64_t withoutDrg() const { return withoutDrg_; }
    const std::array<uint64_t, 5>& byPccl() const { return byPccl_; }
    // Counts by text, ascending by text.
    std::vector<std::pair<std::string, uint64_t>> byMdc() const;
    std::vector<std::pair<std::string, uint64_t>> byDrg() const;
    // The `count` most frequent DRGs, most frequent first (ties by text).
    std::vector<std::pair<std::string, uint64_t>> topDrgs(size_t count) const;

    // A short report for people, for a run of `seconds`.
    std::string text(double seconds) const;
    // The same as one JSON object: records, withoutMdc, withoutDrg, byMdc,
    // byPccl, byDrg, seconds, recordsPerSecond.
    nlohmann::json json(double seconds) const;

private:
    uint64_t records_ = 0;
    uint64_t withoutMdc_ = 0;
    uint64_t withoutDrg_ = 0;
    std::array<uint64_t, 5> byPccl_{};
    // Texts packed into numbers, so that counting needs no string.
    std::unordered_map<uint32_t, uint64_t> byMdc_;
    std::unordered_map<uint64_t, uint64_t> byDrg_;
};

}  // namespace drg::report
