// The companion tool of the grouper. Exit status 0 ok, 1 failure, 2 wrong usage.
#include <CLI/CLI.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "command.h"

int main(int argc, char** argv) {
    using namespace drg::cli;
    CLI::App app{"The DRG grouper's tool: group records, explain results, and work with table releases"};
    app.set_version_flag("--version", "drg 1.0 (table source format 1)");
    app.require_subcommand(1);

    std::map<std::string, CLI::App*> groups;
    std::vector<std::pair<CLI::App*, std::function<int()>>> runs;
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

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    for (auto& [command, run] : runs)
        if (command->parsed()) return run();
    return kExitUsage;
}
