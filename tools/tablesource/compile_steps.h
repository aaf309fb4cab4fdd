#pragma once
// The steps of a compilation, in the order they run. Internal to the compiler.

#include <map>
#include <string>

#include "tablesource/compile_context.h"

namespace drg::source {

struct Settings {
    int conditionCount = 0;  // 0: not given
    std::map<GroupKind, std::string> placeholders;
};

std::string headerSettingName(int file);
// Where the header text of a file starts: after the count fields it uses.
size_t headerTextOffset(int file);

void compileSettings(CompileContext& context, Settings& settings);
void compileConditions(CompileContext& context, const Settings& settings);
void compileCodeIndices(CompileContext& context);
void compileGroupLists(CompileContext& context, const Settings& settings);

void compileDaggerAsterisk(CompileContext& context);
void compileCodeConditions(CompileContext& context);
void compileDecisionTables(CompileContext& context);
void compileRefinements(CompileContext& context);
void compileLevelTables(CompileContext& context);
void compileExclusionTables(CompileContext& context);
void compileSplits(CompileContext& context);

}  // namespace drg::source
