#pragma once
// What the table tools tell their user: problems found in a source (at a
// file and line), problems with a folder or file given on the command line
// (at its path), and the text helpers that keep every such line readable.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace drg::source {

struct Diagnostic {
    std::string file;  // a file of the source folder, or what `isPath` says
    int line = 0;      // 0: the file as a whole
    std::string message;
    bool warning = false;
    bool isPath = false;  // `file` is printed as it is: a path as the user gave it, a compiled table file
    std::string column;   // the column at fault, "" when none
};

// Keeps the first kMostShown errors and the first kMostShown warnings, in the
// order they were reported, and counts the rest: a broken line repeated a
// million times must not print a million messages.
class Diagnostics {
public:
    static constexpr int kMostShown = 50;

    void error(const std::string& file, int line, const std::string& message);
    void warning(const std::string& file, int line, const std::string& message);
    // The same, naming the column at fault.
    void error(const std::string& file, int line, const std::string& column, const std::string& message);
    void warning(const std::string& file, int line, const std::string& column, const std::string& message);
    // With --strict a release must build without warnings: from here on
    // every warning is reported as an error.
    void treatWarningsAsErrors() { strict_ = true; }
    // A problem outside the source folder: `where` (a path from the command
    // line, a compiled table file) is printed as given; "" when `message`
    // names its place itself.
    void errorAt(const std::string& where, const std::string& message);
    void warningAt(const std::string& where, const std::string& message);

    bool hasErrors() const { return errors_ > 0; }
    int errorCount() const { return errors_; }
    int warningCount() const { return warnings_; }
    const std::vector<Diagnostic>& all() const { return items_; }
    int errorsNotShown() const { return errors_ - shownErrors_; }
    int warningsNotShown() const { return warnings_ - shownWarnings_; }

private:
    void add(Diagnostic d);

    std::vector<Diagnostic> items_;
    int errors_ = 0, warnings_ = 0, shownErrors_ = 0, shownWarnings_ = 0;
    bool strict_ = false;
};

// "file:line: column: message" (or "file: message" without a line or
// column), "warning: " marked; a file of the source folder is joined to
// `directory`. The line is made printable.
std::string formatDiagnostic(const Diagnostic& d, const std::string& directory = "");

// The lines that close a report: "and N more errors" and "and N more
// warnings" for what was not kept; none when everything was shown.
std::vector<std::string> notShownLines(const Diagnostics& diagnostics);

// `name` inside `directory` as the user would write it: "src" + "a.tsv" is
// "src/a.tsv", "src/" + "a.tsv" too, "" + "a.tsv" is "a.tsv".
std::string joinPath(const std::string& directory, const std::string& name);

// Text safe to print on a terminal: control bytes, DEL and bytes that are not
// part of well-formed UTF-8 become \xNN; everything else is kept.
std::string printable(std::string_view text);

// A field quoted in a message: at most 60 bytes of it, then "...".
std::string shown(std::string_view field);

}  // namespace drg::source
