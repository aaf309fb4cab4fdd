#include "serve/group_service.h"

#include <nlohmann/json.hpp>

#include "drg/explain.h"
#include "report/explanation_json.h"
#include "tables/condition_kinds.h"
#include "tables/table_loader.h"
#include "tablesource/table_summary.h"

namespace drg::serve {
namespace {

using nlohmann::json;

json resultJson(const Explanation& explanation, long lineNumber) {
    json result = report::explanationJson(explanation, lineNumber);
    result["record"] = report::textJson(explanation.output);
    return result;
}

}  // namespace

WorkerPool::Lease WorkerPool::borrow() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            std::unique_ptr<Worker> worker = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(worker));
        }
        ++made_;
    }
    return Lease(*this, std::make_unique<Worker>(release_));
}

void WorkerPool::giveBack(std::unique_ptr<Worker> worker) {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(worker));
}

size_t WorkerPool::workersMade() const {
    std::lock_guard lock(mutex_);
    return made_;
}

std::string errorBody(const std::vector<FieldError>& errors) {
    json all = json::array();
    for (const FieldError& e : errors) all.push_back({{"field", report::textJson(e.field)}, {"error", report::textJson(e.message)}});
    json body = {{"error", all.at(0)["error"]}, {"field", all.at(0)["field"]}, {"errors", all}};
    return report::dumpLine(body);
}

std::string errorBody(std::string_view message) { return report::dumpLine({{"error", std::string(message)}}); }

Reply GroupService::group(std::string_view body) {
    GroupRequest request = parseGroupRequest(body);
    if (!request.errors.empty()) return {400, errorBody(request.errors)};
    Explanation explanation;
    WorkerPool::Lease worker = workers_.borrow();
    if (!request.many) {
        worker->explainLine(request.lines.front(), explanation);
        return {200, report::dumpLine(resultJson(explanation, 1))};
    }
    json results = json::array();
    for (size_t i = 0; i < request.lines.size(); ++i) {
        worker->explainLine(request.lines[i], explanation);
        results.push_back(resultJson(explanation, static_cast<long>(i) + 1));
    }
    return {200, report::dumpLine({{"results", std::move(results)}})};
}

Reply GroupService::recordLine(std::string_view body) {
    std::vector<FieldError> errors;
    const json fields = parseJsonObject(body, errors);
    if (!errors.empty()) return {400, errorBody(errors)};
    const std::string line = recordLineFromFields(fields, errors);
    if (!errors.empty()) return {400, errorBody(errors)};
    return {200, report::dumpLine({{"record", line}})};
}

std::string describeRelease(const std::string& directory, std::string* problem) {
    TableSet tables;
    const int loaded = loadTables(tables, directory, problem);
    if (loaded != kLoadOk) return "";
    json files = json::array();
    for (const source::TableFileSummary& summary : source::summarizeTableFiles(tables)) {
        json counts = json::object();
        for (const auto& [name, count] : summary.counts) counts[name] = count;
        files.push_back({{"file", summary.file},
                         {"counts", counts},
                         {"inForce", summary.inForce.empty() ? json(nullptr) : json(summary.inForce)}});
    }
    const bool groups = firstConditionKindMismatch(tables.conditions) < 0;
    return report::dumpLine({{"directory", report::textJson(directory)}, {"groupsRecords", groups}, {"files", files}});
}

}  // namespace drg::serve
