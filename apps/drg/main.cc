// The companion tool of the grouper. Exit status 0 ok, 1 failure, 2 wrong usage.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "batch/file_io.h"
#include "command.h"
#include "command_io.h"

namespace {

using namespace drg::cli;

// "drg tables check": the words of the subcommand that was given, as far as
// they were read.
std::string commandName(const CLI::App& app) {
    std::string name = "drg";
    for (const CLI::App* command = &app; !command->get_subcommands().empty();) {
        command = command->get_subcommands().front();
        name += " " + command->get_name();
    }
    return name;
}

using CommandRuns = std::vector<std::pair<CLI::App*, std::function<int()>>>;

int parseAndRun(CLI::App& app, int argc, char** argv, const CommandRuns& runs) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help or --version
        // Through stdio like every other output: std::endl would flush it
        // at once and lose the reason of a write that fails.
        std::ostringstream text;
        const int status = app.exit(e, text);
        std::fputs(text.str().c_str(), stdout);
        return status;
    } catch (const CLI::ParseError& e) {
        // "drg bogus" would only be told that a command is required.
        const std::vector<std::string> extra = app.remaining(true);
        if (dynamic_cast<const CLI::RequiredError*>(&e) && !extra.empty() && extra.front().rfind('-', 0) != 0) {
            std::fprintf(stderr, "%s: no command '%s'; run it with --help for the list\n", commandName(app).c_str(),
                         extra.front().c_str());
            return kExitUsage;
        }
        app.exit(e);
        return kExitUsage;
    }
    // A failure that escapes the command is told as the command's own.
    static const std::string name = commandName(app);
    drg::endUncaughtFailuresWith(name.c_str(), kExitFailure);
    for (const auto& [command, run] : runs)
        if (command->parsed()) return run();
    return kExitUsage;
}

// Whatever a subcommand printed through stdio (reports, help text, the line
// that says what was done) is only known to have arrived once it is
// flushed: a full disk or a closed pipe must not end the run with 0. A
// command that failed already said why and keeps its own status. The reason
// is known when the last write fails here, as it does for every short output.
int finishStandardOutput(const CLI::App& app, int status) {
    const bool flushed = std::fflush(stdout) == 0;
    const int error = flushed ? 0 : errno;  // unknown when an earlier write failed
    if (flushed && !std::ferror(stdout)) return status;
    if (status != kExitOk) return status;
    if (error == EPIPE) return kExitFailure;  // the reader downstream went away
    std::fprintf(stderr, "%s: cannot write to standard output%s%s\n", commandName(app).c_str(), error ? ": " : "",
                 error ? std::strerror(error) : "");
    return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    drg::holdClosedStandardDescriptors();
    drg::endUncaughtFailuresWith("drg", kExitFailure);
    CLI::App app{"The DRG grouper's tool: group records, explain results, and work with table releases"};
    app.set_version_flag("--version", "drg 1.0 (table source format 1)");
    app.require_subcommand(1);

    std::map<std::string, CLI::App*> groups;
    CommandRuns runs;
    for (const CommandEntry& entry : commandTable()) {
        CLI::App* parent = &app;
        for (size_t i = 0; i + 1 < entry.path.size(); ++i) {
            auto [it, added] = groups.try_emplace(entry.path[i], nullptr);
            if (added) {
                it->second = parent->add_subcommand(entry.path[i], groupDescription(entry.path[i]));
                it->second->require_subcommand(1);
            }
            parent = it->second;
        }
        CLI::App* command = parent->add_subcommand(entry.path.back(), entry.description);
        runs.emplace_back(command, entry.attach(*command));
    }

    // Every command, help text included, sees a closed pipe as a failed
    // write (EPIPE) instead of being killed by the signal.
    ignoreBrokenPipe();
    // And a file that reaches the size limit (`ulimit -f`) as a failed write (EFBIG).
    std::signal(SIGXFSZ, SIG_IGN);
    return finishStandardOutput(app, parseAndRun(app, argc, argv, runs));
}
