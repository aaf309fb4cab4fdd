// The explanations of the report library for the Python tests to compare
// with: one JSON line per line of INPUT, explained against the release in
// TABLE_DIR. Usage: explain_json_reference TABLE_DIR INPUT
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "drg/explain.h"
#include "drg/grouper.h"
#include "report/explanation_json.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: explain_json_reference TABLE_DIR INPUT\n";
        return 2;
    }
    drg::OpenedRelease opened = drg::openRelease(argv[1]);
    if (!opened.release) {
        std::cerr << opened.reason << "\n";
        return 1;
    }
    std::ifstream file(argv[2], std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    drg::Worker worker(opened.release);
    drg::Explanation explanation;
    long lineNumber = 0;
    for (size_t begin = 0; begin < input.size();) {
        const size_t newline = input.find('\n', begin);
        const size_t end = newline == std::string::npos ? input.size() : newline + 1;
        worker.explainLine(std::string_view(input).substr(begin, end - begin), explanation);
        std::cout << drg::report::dumpLine(drg::report::explanationJson(explanation, ++lineNumber)) << "\n";
        begin = end;
    }
    return 0;
}
