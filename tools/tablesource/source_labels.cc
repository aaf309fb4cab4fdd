#include "tablesource/source_labels.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>

#include "tables/condition_kinds.h"
#include "tables/table_loader.h"
#include "tablesource/source_layout.h"

namespace drg::source {
namespace {

bool holdsConditions(const std::string& column) {
    return column == "must_hold" || column == "must_not_hold" || column == "condition";
}

// A field as it means: open dates as "-", conditions without their labels,
// lists whose order does not matter sorted, blanks between tokens single.
std::string normalized(const std::string& column, const std::string& value) {
    if (value.empty() && (column == "from" || column == "to")) return "-";
    if (value.empty() && column == "first_slot") return std::to_string(kDefaultFirstSlot);
    if (value.empty() && column == "last_slot") return std::to_string(kDefaultLastSlot);
    if (!columnHoldsBlanks(column) && !holdsConditions(column)) return value;
    auto tokens = splitTokens(value);
    if (holdsConditions(column))
        for (auto& token : tokens) token = token.substr(0, token.find(':'));
    if (column == "levels" || column == "excluded") std::sort(tokens.begin(), tokens.end());
    std::string out;
    for (const auto& token : tokens) out += (out.empty() ? "" : " ") + token;
    return out;
}

// The field of `column` in a row of `file`, also under the column's old name.
const std::string* fieldOf(const SourceFile& file, const SourceRow& row, const std::string& column,
                           const SourceTableLayout& layout) {
    int c = file.column(column);
    for (const auto& [old, current] : layout.oldColumns)
        if (c < 0 && current == column) c = file.column(old);
    if (c < 0 || static_cast<size_t>(c) >= row.fields.size()) return nullptr;
    return &row.fields[static_cast<size_t>(c)];
}

std::string rowKey(const SourceFile& file, const SourceRow& row, const std::vector<std::string>& columns,
                   const SourceTableLayout& layout) {
    static const std::string empty;
    std::string key;
    for (const auto& column : columns) {
        const std::string* field = fieldOf(file, row, column, layout);
        key += normalized(column, field ? *field : empty);
        key += '\t';
    }
    return key;
}

// The conditions that `labelled` lists and the dump leaves out hold their
// default kind and slots; they are listed again, so that their labels stay.
void relistDefaultConditions(SourceFile& dumped, const SourceFile& labelled, const Source& dumpedSource) {
    if (dumped.columns.empty()) dumped.columns = {"condition"};
    for (const char* column : {"first_slot", "last_slot"})
        if (labelled.column(column) >= 0 && dumped.column(column) < 0) {
            dumped.columns.push_back(column);
            const std::string value =
                std::to_string(std::string(column) == "first_slot" ? kDefaultFirstSlot : kDefaultLastSlot);
            for (auto& row : dumped.rows) row.fields.push_back(value);
        }
    // A condition at or above the count would change it.
    int count = kMinimumConditionCount;
    std::set<int> listed;
    for (const auto& row : dumped.rows)
        if (const auto n = parseInteger(row.fields[0])) {
            listed.insert(static_cast<int>(*n));
            count = std::max(count, static_cast<int>(*n) + 1);
        }
    if (auto release = dumpedSource.find(sourceFileName(SourceTable::Release)); release != dumpedSource.end())
        for (const auto& row : release->second.rows)
            if (row.fields[0] == "condition_count") count = static_cast<int>(parseInteger(row.fields[1]).value_or(count));
    const int numberColumn = labelled.column("condition");
    if (numberColumn < 0) return;
    for (const auto& row : labelled.rows) {
        const auto n = parseInteger(row.fields[static_cast<size_t>(numberColumn)]);
        if (!n || *n < 0 || *n >= count || listed.count(static_cast<int>(*n))) continue;
        SourceRow added{0, {}};
        for (const auto& column : dumped.columns) {
            if (column == "condition") added.fields.push_back(std::to_string(*n));
            else if (column == "kind")
                added.fields.push_back(escapeToken(std::string(1, expectedConditionKind(static_cast<int>(*n)))));
            else if (column == "first_slot") added.fields.push_back(std::to_string(kDefaultFirstSlot));
            else added.fields.push_back(std::to_string(kDefaultLastSlot));
        }
        dumped.rows.push_back(std::move(added));
        listed.insert(static_cast<int>(*n));
    }
}

struct PlacedRow {
    SourceRow row;
    std::vector<std::string> comments;  // above it
    size_t sourceIndex;                 // of the source row it stands for; SIZE_MAX when none
};

// The column that names the one row of a thing in files that have one row
// per thing; "" for the others.
std::string identityColumn(SourceTable table) {
    switch (table) {
    case SourceTable::Release: return "setting";
    case SourceTable::Conditions: return "condition";
    case SourceTable::Diagnoses: case SourceTable::Procedures: case SourceTable::Mdcs: case SourceTable::Adrgs:
    case SourceTable::Refined: return "code";
    default: return "";
    }
}

// The conditions of a field written with their labels, as the source writes
// them; a label with a blank would split the token, so it is left out.
std::string withLabels(const std::string& field, const std::map<int, std::string>& labels) {
    if (field == "-") return field;
    std::string out;
    for (const auto& token : splitTokens(field)) {
        const auto n = parseInteger(token);
        const auto it = n ? labels.find(static_cast<int>(*n)) : labels.end();
        const bool labelled = it != labels.end() && it->second.find(' ') == std::string::npos;
        out += (out.empty() ? "" : " ") + (labelled ? token + ":" + it->second : token);
    }
    return out;
}

// The source's order of columns when it has the same ones; its remark columns in any case.
std::vector<std::string> columnsOf(const std::vector<std::string>& meaningful, const SourceFile& labelled,
                                   const SourceTableLayout& layout) {
    std::vector<std::string> current;  // the source's columns under their present names
    for (const auto& column : labelled.columns) {
        current.push_back(column);
        for (const auto& [old, now] : layout.oldColumns)
            if (column == old) current.back() = now;
    }
    std::set<std::string> sourceColumns;
    for (const auto& column : current)
        if (!isRemarkColumn(column)) sourceColumns.insert(column);
    if (sourceColumns == std::set<std::string>(meaningful.begin(), meaningful.end())) return current;
    std::vector<std::string> columns = meaningful;
    for (const auto& column : current)
        if (isRemarkColumn(column)) columns.push_back(column);
    return columns;
}

SourceFile carryOver(SourceFile dumped, const SourceFile& labelled, SourceTable table,
                     const std::map<int, std::string>& labels) {
    const SourceTableLayout& layout = layoutOf(table);
    // Date columns that the source leaves out, where the dump says only "open".
    for (const char* column : {"from", "to"}) {
        const int c = dumped.column(column);
        if (c < 0 || labelled.column(column) >= 0) continue;
        const bool open = std::all_of(dumped.rows.begin(), dumped.rows.end(),
                                      [&](const SourceRow& r) { return r.fields[static_cast<size_t>(c)] == "-"; });
        if (!open) continue;
        dumped.columns.erase(dumped.columns.begin() + c);
        for (auto& row : dumped.rows) row.fields.erase(row.fields.begin() + c);
    }
    const std::vector<std::string> meaningful = dumped.columns;
    const std::vector<std::string> columns = columnsOf(meaningful, labelled, layout);

    // Source rows by what they mean, by what they name, and the comments above each.
    std::unordered_map<std::string, std::deque<size_t>> byMeaning;
    std::unordered_map<std::string, size_t> byIdentity, firstOfKey;
    const std::string identity = identityColumn(table);
    for (size_t i = 0; i < labelled.rows.size(); ++i) {
        const SourceRow& row = labelled.rows[i];
        byMeaning[rowKey(labelled, row, meaningful, layout)].push_back(i);
        for (const auto& [column, index] : {std::pair{identity, &byIdentity}, std::pair{layout.keyColumn, &firstOfKey}})
            if (const std::string* field = column.empty() ? nullptr : fieldOf(labelled, row, column, layout))
                index->try_emplace(*field, i);
    }
    std::vector<std::vector<std::string>> commentsAbove(labelled.rows.size() + 1);
    SourceFile result{0, columns, {}, {}};
    result.describe = false;  // headed as the source heads it
    for (const auto& comment : labelled.comments) {
        if (comment.beforeRow == SourceComment::kAboveHeader) result.comments.push_back(comment);
        else commentsAbove[comment.beforeRow].push_back(comment.text);
    }

    std::vector<PlacedRow> placed;
    std::vector<bool> used(labelled.rows.size(), false);
    auto take = [&](size_t i) {
        if (used[i]) return SIZE_MAX;
        used[i] = true;
        return i;
    };
    for (const auto& row : dumped.rows) {
        PlacedRow p{SourceRow{0, {}}, {}, SIZE_MAX};
        bool same = false;  // the source row means what this one means
        if (auto it = byMeaning.find(rowKey(dumped, row, meaningful, layout)); it != byMeaning.end())
            while (!it->second.empty() && p.sourceIndex == SIZE_MAX) {
                p.sourceIndex = take(it->second.front());
                it->second.pop_front();
                same = p.sourceIndex != SIZE_MAX;
            }
        // A thing that changed keeps its label.
        if (const int c = identity.empty() ? -1 : dumped.column(identity); p.sourceIndex == SIZE_MAX && c >= 0)
            if (auto it = byIdentity.find(row.fields[static_cast<size_t>(c)]); it != byIdentity.end())
                p.sourceIndex = take(it->second);
        for (const auto& column : columns) {
            const int inDump = dumped.column(column);
            const bool fromSource = p.sourceIndex != SIZE_MAX && (same || isRemarkColumn(column));
            const std::string* inSource =
                fromSource ? fieldOf(labelled, labelled.rows[p.sourceIndex], column, layout) : nullptr;
            if (inSource) p.row.fields.push_back(*inSource);
            else if (inDump < 0) p.row.fields.push_back("");
            else if (holdsConditions(column) && table != SourceTable::Conditions)
                p.row.fields.push_back(withLabels(row.fields[static_cast<size_t>(inDump)], labels));
            else p.row.fields.push_back(row.fields[static_cast<size_t>(inDump)]);
        }
        placed.push_back(std::move(p));
    }
    // Comments above a source row the dump has no match for move down to the next that has one.
    std::vector<std::string> pending;
    std::map<size_t, std::vector<std::string>> commentsOf;
    for (size_t i = 0; i <= labelled.rows.size(); ++i) {
        pending.insert(pending.end(), commentsAbove[i].begin(), commentsAbove[i].end());
        if (i < labelled.rows.size() && !used[i]) continue;
        commentsOf[i] = std::move(pending);
        pending.clear();
    }
    for (auto& p : placed)
        if (p.sourceIndex != SIZE_MAX) p.comments = commentsOf[p.sourceIndex];

    // Groups of rows of one key go where the source has them; within a key the order stays.
    if (const auto keyAt = std::find(meaningful.begin(), meaningful.end(), layout.keyColumn);
        !layout.keyColumn.empty() && keyAt != meaningful.end()) {
        const size_t keyColumn = static_cast<size_t>(keyAt - meaningful.begin());
        std::map<std::string, std::vector<size_t>> groups;
        std::vector<std::string> groupOrder;
        for (size_t r = 0; r < dumped.rows.size(); ++r) {
            const std::string& key = dumped.rows[r].fields[keyColumn];
            if (!groups.count(key)) groupOrder.push_back(key);
            groups[key].push_back(r);
        }
        std::vector<std::pair<size_t, std::string>> ranked;  // the first source row of the group
        size_t previous = 0;
        for (const auto& key : groupOrder) {
            size_t rank = SIZE_MAX;
            for (size_t r : groups[key]) rank = std::min(rank, placed[r].sourceIndex);
            if (auto it = firstOfKey.find(key); rank == SIZE_MAX && it != firstOfKey.end()) rank = it->second;
            if (rank == SIZE_MAX) rank = previous;  // a key new in the dump stays after the one before it
            previous = rank;
            ranked.push_back({rank, key});
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<PlacedRow> ordered;
        for (const auto& [rank, key] : ranked)
            for (size_t r : groups[key]) ordered.push_back(std::move(placed[r]));
        placed = std::move(ordered);
    }
    for (auto& p : placed) {
        for (auto& text : p.comments) result.comments.push_back({result.rows.size(), std::move(text)});
        result.rows.push_back(std::move(p.row));
    }
    for (auto& text : commentsOf[labelled.rows.size()]) result.comments.push_back({result.rows.size(), text});
    return result;
}

// The labels that the conditions of a source give.
std::map<int, std::string> labelsOf(const Source& source) {
    std::map<int, std::string> labels;
    auto it = source.find(sourceFileName(SourceTable::Conditions));
    if (it == source.end()) return labels;
    const SourceFile& file = it->second;
    const int number = file.column("condition"), label = file.column("label");
    if (number < 0 || label < 0) return labels;
    for (const auto& row : file.rows)
        if (const auto n = parseInteger(row.fields[static_cast<size_t>(number)]);
            n && !row.fields[static_cast<size_t>(label)].empty())
            labels[static_cast<int>(*n)] = row.fields[static_cast<size_t>(label)];
    return labels;
}

}  // namespace

Source withRemarksFrom(const Source& dumped, const Source& labelled) {
    Source out = dumped;
    // Conditions first: the other files write conditions with the labels they end up with.
    std::vector<std::pair<SourceFileName, const SourceFile*>> files;
    for (const auto& [name, file] : labelled) {
        const auto id = identifySourceFile(name);
        if (!id || !file.usable) continue;
        if (id->oldName && labelled.count(sourceFileName(id->table, id->version))) continue;  // the present name wins
        files.push_back({*id, &file});
    }
    std::stable_partition(files.begin(), files.end(),
                          [](const auto& f) { return f.first.table == SourceTable::Conditions; });
    std::map<int, std::string> labels;
    for (const auto& [id, file] : files) {
        const std::string name = sourceFileName(id.table, id.version);
        if (id.table == SourceTable::Conditions) {
            relistDefaultConditions(out[name], *file, dumped);
            if (out[name].rows.empty()) out.erase(name);
        }
        if (auto it = out.find(name); it != out.end()) it->second = carryOver(it->second, *file, id.table, labels);
        if (id.table == SourceTable::Conditions) labels = labelsOf(out);
    }
    return out;
}

}  // namespace drg::source
