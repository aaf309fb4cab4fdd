#include "tablesource/source_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tablesource/source_layout.h"

namespace drg::source {

namespace fs = std::filesystem;

Source readSourceFolder(const std::string& directory, Diagnostics& diagnostics) {
    Source source;
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        diagnostics.error(directory, 0, "is not a folder");
        return source;
    }
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".tsv") continue;
        if (!identifySourceFile(name)) {
            diagnostics.error(name, 0, "is not a table source file name");
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            diagnostics.error(name, 0, "cannot be read");
            continue;
        }
        source[name] = parseSourceText(text.str(), name, diagnostics);
    }
    if (error) diagnostics.error(directory, 0, "cannot be listed: " + error.message());
    return source;
}

bool writeSourceFolder(const Source& source, const std::string& directory, std::string* problem) {
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) {
        *problem = directory + ": cannot be created: " + error.message();
        return false;
    }
    for (const auto& entry : fs::directory_iterator(directory, error))
        if (entry.path().extension() == ".tsv" && identifySourceFile(entry.path().filename().string()))
            fs::remove(entry.path(), error);
    for (const auto& [name, file] : source) {
        const auto id = identifySourceFile(name);
        std::string comment;
        if (id) {
            const auto& layout = layoutOf(id->table);
            comment = layout.description;
            const std::string& date = layout.versionDates[static_cast<size_t>(id->version)];
            if (layout.versionDates.size() > 1)
                comment += date.empty() ? " (first version)" : " (version from " + date + ")";
        }
        std::ofstream out(fs::path(directory) / name, std::ios::binary | std::ios::trunc);
        out << printSourceText(file, comment);
        if (!out) {
            *problem = directory + "/" + name + ": cannot be written";
            return false;
        }
    }
    return true;
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
