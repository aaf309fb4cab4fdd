#pragma once
// A small release with something in every one of the 22 files, and helpers
// to write it, damage it and load it again.

#include <functional>
#include <string>

#include "support/table_builder.h"
#include "support/test_files.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"

namespace drg::testing {

inline TableBuilder loaderRelease() {
    TableBuilder b;
    const int mdc1 = b.mdc("01 ");
    const int mdc2 = b.mdc("02 ");
    const int b010 = b.adrg("B010");
    const int b020 = b.adrg("B020");
    b.drg("B010A");
    b.drg("B010B");
    b.drg("B020A");
    b.conditionSlots(100, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.diagnosisCondition("I10", 101);
    b.diagnosisCondition("I10", 102, {20000101, 20201231});
    b.procedureCondition("5-010", 200);
    b.procedureCondition("8-930", 201, {20000101, 20201231});
    b.daggerPair("A17.0", "G01");
    b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc1, .adrg = b010, .dated = {}});
    b.decisionRow({.range = 1, .mustSet = {200}, .mustClear = {101}, .mdc = mdc2, .adrg = 0, .dated = {}});
    b.decisionRow({.range = 2, .mustSet = {200}, .mustClear = {}, .mdc = 0, .adrg = b020, .dated = {}});
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 120, 'B');
    b.refinementRow("B020", 0, 120, 'A');
    b.levelRow("I10", {{"B010", '3'}});
    b.levelRow("E11", {{"B020", '2'}}, '1', {}, {1, 2});
    b.exclusions("I10", {"E11"}, {1, 2});  // "Tccedit" keeps an empty list array
    b.splitRow("B010B", "ZYXWV");
    b.splitRow("B010A", "01234");
    return b;
}

struct LoadOutcome {
    int result = 0;
    std::string problem;
};

inline LoadOutcome loadFrom(const std::string& directory, TableSet& tables) {
    LoadOutcome o;
    o.result = loadTables(tables, directory, &o.problem);
    return o;
}

inline LoadOutcome loadFrom(const std::string& directory) {
    TableSet tables;
    LoadOutcome o = loadFrom(directory, tables);
    releaseTables(tables);
    return o;
}

// Builds the release, lets `change` edit the table set, writes it and loads it.
inline LoadOutcome loadChanged(const std::function<void(TableSet&)>& change) {
    TempDir dir;
    TableSet t = loaderRelease().build();
    change(t);
    std::string problem;
    if (!writeTableFiles(t, dir.path(), &problem)) return {99, problem};
    return loadFrom(dir.path());
}

}  // namespace drg::testing
