#include "report/run_summary.h"

#include <algorithm>
#include <cstdio>

#include "report/explanation_json.h"
#include "report/explanation_text.h"

namespace drg::report {
namespace {

constexpr size_t kMdcWidth = 3, kDrgWidth = 6;
constexpr size_t kTopDrgs = 20;

template <class Key>
Key packed(std::string_view text, size_t width) {
    Key key = 0;
    for (size_t i = 0; i < width; ++i)
        key = static_cast<Key>(key << 8 | static_cast<unsigned char>(i < text.size() ? text[i] : '\0'));
    return key;
}

template <class Key>
std::string unpacked(Key key, size_t width) {
    std::string text(width, '\0');
    for (size_t i = width; i-- > 0; key = static_cast<Key>(key >> 8)) text[i] = static_cast<char>(key & 0xff);
    return text;
}

template <class Key>
std::vector<std::pair<std::string, uint64_t>> sortedByText(const std::unordered_map<Key, uint64_t>& counts,
                                                            size_t width) {
    std::vector<std::pair<std::string, uint64_t>> list;
    list.reserve(counts.size());
    for (const auto& [key, count] : counts) list.emplace_back(unpacked(key, width), count);
    std::sort(list.begin(), list.end());
    return list;
}

// One line of the report: a label, a count and, when `total` is given, its share.
std::string countLine(const std::string& label, uint64_t count, uint64_t total = 0) {
    char text[160];
    const int n = std::snprintf(text, sizeof text, "%-18s %12llu", label.c_str(), static_cast<unsigned long long>(count));
    if (total > 0 && n > 0 && static_cast<size_t>(n) < sizeof text)
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %7.2f%%",
                      100.0 * static_cast<double>(count) / static_cast<double>(total));
    return std::string(text) + "\n";
}

std::string quotedText(const std::string& bytes) { return "  \"" + shownText(bytes) + "\""; }

double perSecond(uint64_t records, double seconds) {
    return seconds > 0 ? static_cast<double>(records) / seconds : 0.0;
}

}  // namespace

void RunSummary::add(std::string_view mdc, char pcclDigit, std::string_view drg) {
    ++records_;
    if (mdc == "000") ++withoutMdc_;
    if (drg == "000000") ++withoutDrg_;
    if (pcclDigit >= '0' && pcclDigit <= '4') ++byPccl_[static_cast<size_t>(pcclDigit - '0')];
    ++byMdc_[packed<uint32_t>(mdc, kMdcWidth)];
    ++byDrg_[packed<uint64_t>(drg, kDrgWidth)];
}

void RunSummary::merge(const RunSummary& other) {
    records_ += other.records_;
    withoutMdc_ += other.withoutMdc_;
    withoutDrg_ += other.withoutDrg_;
    for (size_t p = 0; p < byPccl_.size(); ++p) byPccl_[p] += other.byPccl_[p];
    for (const auto& [key, count] : other.byMdc_) byMdc_[key] += count;
    for (const auto& [key, count] : other.byDrg_) byDrg_[key] += count;
}

std::vector<std::pair<std::string, uint64_t>> RunSummary::byMdc() const { return sortedByText(byMdc_, kMdcWidth); }

std::vector<std::pair<std::string, uint64_t>> RunSummary::byDrg() const { return sortedByText(byDrg_, kDrgWidth); }

std::vector<std::pair<std::string, uint64_t>> RunSummary::topDrgs(size_t count) const {
    auto list = byDrg();
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    if (list.size() > count) list.resize(count);
    return list;
}

std::string RunSummary::text(double seconds) const {
    std::string s = countLine("records", records_);
    s += countLine("without MDC", withoutMdc_, records_);
    s += countLine("without DRG", withoutDrg_, records_);
    s += "by MDC\n";
    for (const auto& [mdc, count] : byMdc()) s += countLine(quotedText(mdc), count, records_);
    s += "by PCCL\n";
    for (size_t p = 0; p < byPccl_.size(); ++p) s += countLine("  " + std::to_string(p), byPccl_[p], records_);
    s += "most frequent DRGs\n";
    for (const auto& [drg, count] : topDrgs(kTopDrgs)) s += countLine(quotedText(drg), count, records_);
    char timing[96];
    std::snprintf(timing, sizeof timing, "time %.2f s, %.0f records per second\n", seconds,
                  perSecond(records_, seconds));
    return s + timing;
}

nlohmann::json RunSummary::json(double seconds) const {
    nlohmann::json mdcs = nlohmann::json::object(), drgs = nlohmann::json::object();
    for (const auto& [mdc, count] : byMdc()) mdcs[textJson(mdc).get<std::string>()] = count;
    for (const auto& [drg, count] : byDrg()) drgs[textJson(drg).get<std::string>()] = count;
    return {{"records", records_},
            {"withoutMdc", withoutMdc_},
            {"withoutDrg", withoutDrg_},
            {"byMdc", mdcs},
            {"byPccl", byPccl_},
            {"byDrg", drgs},
            {"seconds", seconds},
            {"recordsPerSecond", perSecond(records_, seconds)}};
}

}  // namespace drg::report
