#pragma once
// What the compilers of the row tables share: laying rows out key after key,
// the limits of their fields and the reading of validity dates. Internal to
// the compiler.

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "tablesource/compile_checks.h"
#include "tablesource/compile_steps.h"

namespace drg::source {

inline constexpr size_t kMostRows16 = static_cast<size_t>(kMostSigned16);  // rows reached through int16 begin/end
inline constexpr size_t kMostCount16 = 65535;                               // an unsigned 16-bit count
inline constexpr size_t kMostCount32 = static_cast<size_t>(std::numeric_limits<int32_t>::max());
inline constexpr const char* kRows16 = "rows (its row ranges are 16-bit numbers)";

// Rows grouped by key, laid out key after key into one array.
template <class Row>
struct LaidOut {
    std::vector<int64_t> begin, end;
    std::vector<Row> rows;
};

template <class Row>
LaidOut<Row> layOut(const std::vector<std::vector<Row>>& byKey) {
    LaidOut<Row> out;
    for (const auto& rows : byKey) {
        out.begin.push_back(static_cast<int64_t>(out.rows.size()));
        out.rows.insert(out.rows.end(), rows.begin(), rows.end());
        out.end.push_back(static_cast<int64_t>(out.rows.size()));
    }
    return out;
}

template <class T>
std::vector<T> narrowed(const std::vector<int64_t>& values, int64_t offset = 0) {
    std::vector<T> out;
    for (int64_t v : values) out.push_back(static_cast<T>(v + offset));
    return out;
}

// `from` and `to` of a row; a `from` after its `to` is invalid.
inline std::optional<Dates> readDates(const RowReader& row) {
    const auto from = row.date("from", kOpenFrom);
    const auto to = row.date("to", kOpenTo);
    if (!from || !to) return std::nullopt;
    if (*from > *to)
        row.invalid("from", std::to_string(*from) + " lies after to " + std::to_string(*to) +
                                ": the row is in force on no day");
    return Dates{*from, *to};
}

// Code ids are checked to lie within their index when they are assigned.
inline size_t keyOf(int16_t id) { return static_cast<size_t>(id); }

// The lines of the rows of one key, for the checks of hidden rows.
template <class Row>
std::vector<int> linesOf(const std::vector<Row>& rows) {
    std::vector<int> lines;
    for (const auto& row : rows) lines.push_back(row.line);
    return lines;
}

}  // namespace drg::source
