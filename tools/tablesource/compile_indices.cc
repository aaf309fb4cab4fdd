// Compiling the release settings, the conditions, the code indices and the
// group code lists: everything that the row tables refer to.
#include <algorithm>

#include "tables/condition_kinds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tablesource/compile_steps.h"

namespace drg::source {
namespace {

constexpr int kHighestConditionCount = 65535;  // the count is a 16-bit header field
// The count of an index or list (its entries and the placeholder) is an
// unsigned 16-bit header field.
constexpr size_t kMostCodes = 65534;

int fileByName(const std::string& name) {
    for (int f = 0; f < kTableFileCount; ++f)
        if (name == kTableFileNames[f]) return f;
    return -1;
}

std::optional<GroupKind> placeholderKind(const std::string& fileName) {
    if (fileName == "Tmdc.idx") return GroupKind::Mdc;
    if (fileName == "Tadrg.idx") return GroupKind::Adrg;
    if (fileName == "Taadrg.idx") return GroupKind::Refined;
    return std::nullopt;
}

void applySetting(CompileContext& c, Settings& settings, const RowReader& row, const std::string& name) {
    if (name == "condition_count") {
        if (auto n = row.integer("value", kMinimumConditionCount, kHighestConditionCount))
            settings.conditionCount = static_cast<int>(*n);
        return;
    }
    const size_t dot = name.find('.');
    const std::string prefix = name.substr(0, dot);
    const std::string target = dot == std::string::npos ? "" : name.substr(dot + 1);
    const int file = fileByName(target);
    const bool header = prefix == "header" && file >= 0;
    const bool placeholder = prefix == "placeholder" && placeholderKind(target);
    if (!header && !placeholder) {
        row.error("setting", "unknown setting '" + name +
                                 "' (known: condition_count, header.<table file>, "
                                 "placeholder.<Tmdc.idx|Tadrg.idx|Taadrg.idx>)");
        return;
    }
    std::string raw, problem;
    if (!unescape(row.raw("value"), raw, problem)) {
        row.error("value", problem);
        return;
    }
    if (header) {
        const size_t offset = headerTextOffset(file);
        if (raw.size() > kHeaderSize - offset) {
            row.error("value", "header text of " + target + " is longer than " +
                                   std::to_string(kHeaderSize - offset) + " characters");
            return;
        }
        std::copy(raw.begin(), raw.end(), c.tables.headers[file].begin() + static_cast<long>(offset));
        return;
    }
    const GroupKind kind = *placeholderKind(target);
    if (raw.size() > groupWidth(kind)) {
        row.error("value",
                  "placeholder of " + target + " is longer than " + std::to_string(groupWidth(kind)) + " characters");
        return;
    }
    raw.resize(groupWidth(kind), ' ');
    settings.placeholders[kind] = raw;
}

// Codes of one index file: padded text, explicit id (or -1) and spare byte.
struct ListedCode {
    std::string code;
    int line;
    int64_t id;
    char spare;
};

std::vector<ListedCode> readCodes(CompileContext& c, SourceTable table, size_t width) {
    std::vector<ListedCode> codes;
    std::map<std::string, int> lineOf;
    const bool diagnosis = table == SourceTable::Diagnoses;
    forEachRow(c, table, [&](const RowReader& row) {
        const auto token = row.text("code");
        if (!token) return;
        std::string raw, problem;
        if (!unescape(*token, raw, problem)) return row.error("code", problem);
        const auto padded = paddedCode(raw, width, problem);
        if (!padded) return row.error("code", problem);
        const auto id = row.has("id") ? row.integer("id", 0, INT16_MAX) : std::optional<int64_t>(-1);
        const auto spare = diagnosis ? row.byte("spare", kDefaultSpare) : std::optional<char>(kDefaultSpare);
        if (!id || !spare) return;
        if (auto [it, added] = lineOf.try_emplace(*padded, row.line()); !added)
            return row.error("code", "'" + shown(*token) + "' is already listed at line " + std::to_string(it->second));
        if (std::any_of(padded->begin(), padded->end(), [](char ch) { return ch >= 'a' && ch <= 'z'; }))
            row.warning("code", "'" + shown(*token) +
                                    "' has lower-case letters; records are upper-cased, so it is never found");
        codes.push_back({*padded, row.line(), *id, *spare});
    });
    std::sort(codes.begin(), codes.end(), [](const ListedCode& a, const ListedCode& b) { return a.code < b.code; });
    return codes;
}

}  // namespace

size_t headerTextOffset(int file) { return static_cast<size_t>(countFieldLayout(file).used) * 10; }

std::string headerSettingName(int file) { return std::string("header.") + kTableFileNames[file]; }

void compileSettings(CompileContext& c, Settings& settings) {
    for (auto& header : c.tables.headers) header.fill(' ');
    for (auto kind : {GroupKind::Mdc, GroupKind::Adrg, GroupKind::Refined})
        settings.placeholders[kind] = std::string(groupWidth(kind), ' ');
    std::map<std::string, int> lineOf;
    forEachRow(c, SourceTable::Release, [&](const RowReader& row) {
        const auto name = row.text("setting");
        if (!name) return;
        if (auto [it, added] = lineOf.try_emplace(*name, row.line()); !added)
            return row.error("setting", "'" + *name + "' is already given at line " + std::to_string(it->second));
        applySetting(c, settings, row, *name);
    });
}

void compileConditions(CompileContext& c, const Settings& settings) {
    struct Listed {
        char kind;
        int16_t first, last;
    };
    std::map<int, Listed> listed;
    const int limit = settings.conditionCount > 0 ? settings.conditionCount : kHighestConditionCount;
    forEachRow(c, SourceTable::Conditions, [&](const RowReader& row) {
        const auto text = row.text("condition");
        std::optional<int64_t> number;
        if (text) number = parseInteger(*text);
        if (text && (!number || *number < 0 || *number >= limit))
            row.error("condition", "'" + shown(*text) + "' is not a condition number from 0 to " +
                                       std::to_string(limit - 1) +
                                       (settings.conditionCount > 0 ? " (condition_count in release.tsv is " +
                                                                          std::to_string(limit) + ")"
                                                                    : ""));
        // A kind that is written is kept whatever byte it is (NUL too); only a missing one is derived.
        const bool kindGiven = row.has("kind");
        const auto kind = row.byte("kind", kCodeKind);
        const auto first = row.has("first_slot") ? row.integer("first_slot", INT16_MIN, INT16_MAX)
                                                 : std::optional<int64_t>(kDefaultFirstSlot);
        const auto last = row.has("last_slot") ? row.integer("last_slot", INT16_MIN, INT16_MAX)
                                               : std::optional<int64_t>(kDefaultLastSlot);
        if (!number || *number < 0 || *number >= limit || !kind || !first || !last) return;
        const int n = static_cast<int>(*number);
        if (auto [it, added] = c.conditionLines.try_emplace(n, row.line()); !added)
            return row.error("condition", "condition " + std::to_string(n) + " is already listed at line " +
                                              std::to_string(it->second));
        const char k = kindGiven ? *kind : expectedConditionKind(n);
        // Condition 0 always holds, whatever its kind.
        if (n > 0 && k != expectedConditionKind(n))
            row.invalid("kind", "condition " + std::to_string(n) + " of kind '" + escapeText(std::string(1, k)) +
                                    "' disagrees with the built-in derived conditions (782-823 and 853 are 'l', all "
                                    "others 't'); drg-batch would refuse every record");
        // Slots 1-10 hold diagnoses, 11-46 procedures. Only the conditions
        // that codes raise have slots that count; the others may say "none" as 0 0.
        if (n > 0 && !isDerivedCondition(n)) {
            for (const auto& [column, slot] : {std::pair{"first_slot", *first}, std::pair{"last_slot", *last}})
                if (slot < kDefaultFirstSlot || slot > kDefaultLastSlot)
                    row.invalid(column, "slot " + std::to_string(slot) + " is not a slot from 1 to 46");
            if (*first > *last)
                row.invalid("first_slot", "first slot " + std::to_string(*first) + " lies after the last slot " +
                                              std::to_string(*last) + ": no slot raises the condition");
        }
        listed[n] = {k, static_cast<int16_t>(*first), static_cast<int16_t>(*last)};
        if (!row.raw("label").empty()) c.conditionLabels[n] = row.raw("label");
    });
    const int highestListed = listed.empty() ? -1 : listed.rbegin()->first;
    c.conditionCount = settings.conditionCount > 0 ? settings.conditionCount
                                                   : std::max(kMinimumConditionCount, highestListed + 1);
    auto& t = c.tables.conditions;
    t.conditionCount = static_cast<uint16_t>(c.conditionCount);
    for (int n = 0; n < c.conditionCount; ++n) {
        auto it = listed.find(n);
        if (it != listed.end()) {
            t.conditionKind.push_back(it->second.kind);
            t.firstSlot.push_back(it->second.first);
            t.lastSlot.push_back(it->second.last);
        } else {
            t.conditionKind.push_back(expectedConditionKind(n));
            t.firstSlot.push_back(kDefaultFirstSlot);
            t.lastSlot.push_back(kDefaultLastSlot);
        }
    }
}

void compileCodeIndices(CompileContext& c) {
    for (SourceTable table : {SourceTable::Diagnoses, SourceTable::Procedures}) {
        const bool diagnosis = table == SourceTable::Diagnoses;
        const size_t width = diagnosis ? 6 : 5;
        const auto codes = readCodes(c, table, width);
        const std::string& fileName = c.fileName(table);
        if (codes.size() > kMostCodes) {
            c.diagnostics.error(fileName, codes[kMostCodes].line, "code",
                                "more than " + std::to_string(kMostCodes) + " codes");
            continue;
        }
        const int64_t count = static_cast<int64_t>(codes.size()) + 1;
        std::vector<char> text(width, '\0');  // position 0: a placeholder never compared
        std::vector<int16_t> ids{0};
        std::vector<uint8_t> spares{0};
        auto& idByCode = diagnosis ? c.diagnosisIds : c.procedureIds;
        for (size_t position = 1; position <= codes.size(); ++position) {
            const ListedCode& code = codes[position - 1];
            int64_t id = code.id < 0 ? static_cast<int64_t>(position) : code.id;
            if (code.id < 0 && id > kMostSigned16) {
                // Ids follow the sorted positions; from here on they would not fit their 16-bit field.
                const std::string written = code.code.substr(0, code.code.find_last_not_of(' ') + 1);
                if (id == kMostSigned16 + 1)
                    c.diagnostics.error(fileName, code.line, "code",
                                        "'" + shown(escapeToken(written)) + "' and " +
                                            std::to_string(codes.size() - position) + " more after it in sorted order " +
                                            "would get ids from " + std::to_string(id) + " on, but ids end at " +
                                            std::to_string(kMostSigned16) +
                                            " (list fewer codes, or give ids in an 'id' column; codes may share one)");
                id = 0;
            } else if (id >= count) {
                c.diagnostics.error(fileName, code.line, "id",
                                    std::to_string(id) + " is not below the index size " + std::to_string(count));
                id = 0;
            }
            text.insert(text.end(), code.code.begin(), code.code.end());
            ids.push_back(static_cast<int16_t>(id));
            spares.push_back(static_cast<uint8_t>(code.spare));
            idByCode[code.code] = static_cast<int16_t>(id);
        }
        if (diagnosis) {
            auto& x = c.tables.diagnosisIndex;
            x.count = static_cast<uint16_t>(count);
            x.code.bytes = std::move(text);
            x.id = std::move(ids);
            x.spare = std::move(spares);
        } else {
            auto& x = c.tables.procedureIndex;
            x.count = static_cast<uint16_t>(count);
            x.code.bytes = std::move(text);
            x.id = std::move(ids);
        }
    }
}

void compileGroupLists(CompileContext& c, const Settings& settings) {
    const std::pair<GroupKind, SourceTable> lists[] = {
        {GroupKind::Mdc, SourceTable::Mdcs}, {GroupKind::Adrg, SourceTable::Adrgs}, {GroupKind::Refined, SourceTable::Refined}};
    for (const auto& list : lists) {
        const GroupKind kind = list.first;  // not a structured binding: the row reader below captures it
        const SourceTable table = list.second;
        auto& texts = c.groupTexts[kind];
        auto& lines = c.groupLines[kind];
        auto& firstEntries = c.firstEntries[kind];
        texts = {settings.placeholders.at(kind)};
        lines = {0};
        std::map<std::string, int> lineOf;
        // Decision rows hold MDC and ADRG entries in 16-bit signed fields;
        // refined codes are only counted, in an unsigned 16-bit field.
        RowLimit entries(kind == GroupKind::Refined ? kMostCodes : static_cast<size_t>(kMostSigned16),
                         kind == GroupKind::Refined ? std::string("entries (the count is a 16-bit number)")
                                                : std::string("entries (decision rows name them in 16-bit fields)"));
        forEachRow(c, table, [&](const RowReader& row) {
            const auto token = row.text("code");
            if (!token) return;
            std::string raw, problem;
            if (!unescape(*token, raw, problem)) return row.error("code", problem);
            const auto padded = paddedCode(raw, groupWidth(kind), problem);
            if (!padded) return row.error("code", problem);
            if (!entries.admit(row)) return;
            if (auto [it, added] = lineOf.try_emplace(*padded, row.line()); !added)
                row.warning("code", "'" + shown(*token) + "' is also listed at line " + std::to_string(it->second) +
                                        "; refer to this entry as @" + std::to_string(texts.size()));
            // A refined code is an ADRG and its refinement character.
            if (kind == GroupKind::Refined && raw.size() != static_cast<size_t>(groupWidth(kind)))
                row.invalid("code", "refined code '" + shown(*token) + "' has " + std::to_string(raw.size()) +
                                        " characters, not the four of an ADRG and a refinement character");
            else if (kind == GroupKind::Refined && !c.unusable.count(SourceTable::Adrgs) &&
                !c.firstEntries[GroupKind::Adrg].count(padded->substr(0, groupWidth(GroupKind::Adrg))))
                row.invalid("code", "refined code '" + shown(*token) + "' names ADRG '" +
                                        shown(escapeToken(raw.substr(0, groupWidth(GroupKind::Adrg)))) +
                                        "', which is not listed in " + c.fileName(SourceTable::Adrgs));
            firstEntries.try_emplace(*padded, static_cast<int>(texts.size()));
            texts.push_back(*padded);
            lines.push_back(row.line());
        });
        CodeTextTable& out = kind == GroupKind::Mdc ? c.tables.mdcCodes
                             : kind == GroupKind::Adrg ? c.tables.adrgCodes
                                                       : c.tables.refinedCodes;
        out.count = static_cast<uint16_t>(texts.size());
        out.text.bytes.clear();
        for (const auto& t : texts) out.text.bytes.insert(out.text.bytes.end(), t.begin(), t.end());
    }
}

}  // namespace drg::source
