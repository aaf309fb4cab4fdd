#include "tablesource/source_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tables/table_files.h"
#include "tablesource/file_access.h"
#include "tablesource/source_layout.h"
#include "tablesource/staged_folder.h"

namespace drg::source {

namespace fs = std::filesystem;

namespace {

// Names of the folder's entries, sorted so that every run reports alike.
std::vector<std::string> entryNames(const std::string& directory, std::error_code& error) {
    std::vector<std::string> names;
    fs::directory_iterator it(directory, error), end;
    for (; !error && it != end; it.increment(error)) names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string commentOf(const std::string& name) {
    const auto id = identifySourceFile(name);
    if (!id) return "";
    const auto& layout = layoutOf(id->table);
    std::string comment = layout.description;
    const std::string& date = layout.versionDates[static_cast<size_t>(id->version)];
    if (layout.versionDates.size() > 1) comment += date.empty() ? " (first version)" : " (version from " + date + ")";
    return comment;
}

// The file that says what leaving `name` out of `source` says: the nearest
// earlier version that `source` holds, or an empty table.
SourceFile standInFor(const Source& source, const std::string& name) {
    const auto id = identifySourceFile(name);
    for (int v = id->version - 1; v >= 0; --v) {
        auto it = source.find(sourceFileName(id->table, v));
        if (it != source.end()) return it->second;
    }
    return SourceFile{0, layoutOf(id->table).required, {}};
}

}  // namespace

Source readSourceFolder(const std::string& directory, Diagnostics& diagnostics, uint64_t mostBytes, size_t mostRows) {
    Source source;
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        diagnostics.errorAt(directory, "is not a folder");
        return source;
    }
    const auto names = entryNames(directory, error);
    if (error) diagnostics.errorAt(directory, "cannot be listed: " + error.message());
    bool anySource = false;
    for (const auto& name : names) {
        // Hidden files are what editors and copies leave beside a source (a
        // lock while a file is edited, the metadata file some systems write beside a copy).
        if (name.front() == '.') continue;
        const std::string extension = fs::path(name).extension().string();
        if (extension != ".tsv") {
            // Other files (notes, backups) are left alone without a word; but
            // "diagnoses.TSV" is a source file by intent, and leaving it out
            // in silence shows only as puzzling errors about what is missing.
            if (lowerCase(extension) == ".tsv")
                diagnostics.warning(name, 0, "ignored: source files end in .tsv (lower case)");
            continue;
        }
        anySource = true;
        if (!identifySourceFile(name)) {
            diagnostics.error(name, 0, unknownFileNameProblem(name));
            continue;
        }
        std::string text, problem;
        if (!readRegularFile(joinPath(directory, name), mostBytes, text, &problem)) {
            diagnostics.error(name, 0, problem);
            source[name].usable = false;
            continue;
        }
        source[name] = parseSourceText(text, name, diagnostics, mostRows);
    }
    if (!anySource && !error) {
        // Most likely the two folders were given the wrong way round.
        if (fs::exists(joinPath(directory, kTableFileNames[0]), error))
            diagnostics.errorAt(directory, "holds table files, not a source of .tsv files (drg tables dump makes a "
                                           "source of table files)");
        else
            diagnostics.warningAt(directory, "holds no source (.tsv) files: the release is empty");
    }
    return source;
}

bool writeSourceFolder(const Source& source, const std::string& directory, bool force, std::string* problem) {
    std::error_code error;
    Source written = source;
    std::vector<std::string> removed;
    if (fs::exists(directory, error)) {
        if (!fs::is_directory(directory, error)) {
            *problem = printable(directory) + ": is not a folder";
            return false;
        }
        const auto names = entryNames(directory, error);
        if (error) {
            *problem = printable(directory) + ": cannot be listed: " + error.message();
            return false;
        }
        if (!names.empty() && !force) {
            *problem = printable(directory) +
                       ": is not empty; a dump writes only into a new or empty folder (--force replaces the source "
                       "files in it)";
            return false;
        }
        for (const auto& name : names) {
            const auto id = identifySourceFile(name);
            // A file under its old name would stand beside the one written under the new name.
            if (id && id->oldName) removed.push_back(name);
            else if (id && !written.count(name)) written[name] = standInFor(source, name);
        }
    }
    StagedFolder staged;
    if (!staged.open(directory, problem)) return false;
    std::vector<std::string> names;
    for (const auto& [name, file] : written) {
        std::ofstream out(joinPath(staged.path(), name), std::ios::binary | std::ios::trunc);
        out << printSourceText(file, file.describe ? commentOf(name) : "");
        out.close();
        if (!out) {
            const int cause = errno;  // the stream keeps no reason of its own
            *problem = printable(joinPath(directory, name)) + ": cannot be written" +
                       (cause ? std::string(" (") + std::strerror(cause) + ")" : "") + "; " + printable(directory) +
                       " is unchanged";
            return false;
        }
        names.push_back(name);
    }
    bool unchanged = true;
    return staged.commit(names, problem, &unchanged, removed);
}

Source withoutRemarks(const Source& source) {
    Source out;
    for (const auto& [name, file] : source) {
        SourceFile kept;
        std::vector<size_t> keep;
        for (size_t c = 0; c < file.columns.size(); ++c)
            if (!isRemarkColumn(file.columns[c])) {
                keep.push_back(c);
                kept.columns.push_back(file.columns[c]);
            }
        for (const auto& row : file.rows) {
            SourceRow r{row.line, {}};
            for (size_t c : keep) r.fields.push_back(row.fields[c]);
            kept.rows.push_back(std::move(r));
        }
        out[name] = std::move(kept);
    }
    return out;
}

}  // namespace drg::source
