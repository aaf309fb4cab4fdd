#pragma once
// The subcommands of the `drg` tool. Each lives in a file of its own and is
// listed once in the command table; main wires them into the command line.

#include <CLI/CLI.hpp>

#include <functional>
#include <vector>

namespace drg::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

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
