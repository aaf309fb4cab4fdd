#pragma once
// The subcommands of the `drg` tool. Each lives in a file of its own and is
// listed once in the command table; main wires them into the command line.

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace drg::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Decimal digits only, and no more than a 64-bit count holds: the usual
// reading of "-5" or of too many digits would give a huge number without a
// word, and would take "0x50" as 80 and "010" as 8. The text is handed on
// without its leading zeros, so that it is read as the decimal it is. Given
// as a transform; `shown` is what --help says of it (nothing beside a range).
// The refusal names the range `least` to `most` of an option that has one,
// which a range check after this one holds it to.
inline CLI::Validator wholeNumber(const char* shown = "N", uint64_t least = 0, uint64_t most = UINT64_MAX) {
    return CLI::Validator(
        [least, most](std::string& text) {
            uint64_t value = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            const bool ok = !text.empty() && text[0] != '-' && text[0] != '+' && error == std::errc() &&
                            end == text.data() + text.size();
            if (!ok)
                return "'" + text + "' is not a whole number from " + std::to_string(least) + " to " +
                       std::to_string(most);
            text = std::to_string(value);
            return std::string();
        },
        shown);
}

// Makes `option` take a whole number from `least` to `most`: decimal digits
// as wholeNumber reads them, then the range, which --help shows.
template <class T>
CLI::Option* wholeNumberFrom(CLI::Option* option, T least, T most) {
    return option->transform(wholeNumber("", static_cast<uint64_t>(least), static_cast<uint64_t>(most)))
        ->check(CLI::Range(least, most));
}

// A folder named by an empty text would be the working folder.
inline CLI::Validator namedFolder() {
    return CLI::Validator([](std::string& text) { return text.empty() ? std::string("an empty folder name") : ""; },
                          "DIR");
}

// A file named by an empty text: most often a shell variable left unset,
// which must not stand for standard input or output (a run would then
// wait on the terminal), nor for no file at all.
inline CLI::Validator namedFile() {
    return CLI::Validator(
        [](std::string& text) {
            return text.empty() ? std::string("an empty file name (- names standard input or output)") : "";
        },
        "FILE");
}

// The --tables option of the commands that group: the folder of one release.
inline CLI::Option* addTablesOption(CLI::App& command, std::string& folder) {
    return command.add_option("--tables", folder, "Folder holding the 22 table files")
        ->required()
        ->check(namedFolder());
}

// Adds a subcommand's options to `command` and gives back what runs it once
// the command line is parsed (its exit status).
using AttachCommand = std::function<int()> (*)(CLI::App& command);

struct CommandEntry {
    std::vector<const char*> path;  // {"tables", "build"}: a subcommand of a group
    const char* description;
    AttachCommand attach;
};

// Every subcommand, in the order `drg --help` lists them.
const std::vector<CommandEntry>& commandTable();

// Descriptions of the groups that hold subcommands ("tables").
const char* groupDescription(const char* group);

}  // namespace drg::cli
