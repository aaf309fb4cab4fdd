// Any bytes as any one file of a small table source. The text parser and the
// compiler must report problems without crashing, and whatever compiles must
// dump to a source that builds again and dumps to the same source: the
// round trip that `drg tables dump` promises.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tablesource/source_compiler.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_layout.h"
#include "tablesource/source_text.h"

namespace {

using namespace drg::source;

// Every file name a source may hold; the first input byte picks one.
std::vector<std::string> sourceFileNames() {
    std::vector<std::string> names;
    for (const auto& layout : sourceTableLayouts())
        for (size_t v = 0; v < layout.versionDates.size(); ++v)
            names.push_back(sourceFileName(layout.table, static_cast<int>(v)));
    return names;
}

// The texts of a source that uses every table, for the input to replace
// one file of or to add rows to.
const std::map<std::string, std::string>& baseTexts() {
    static const std::map<std::string, std::string> files = {
        {"release.tsv", "setting\tvalue\nheader.Tccl\tfuzz\nplaceholder.Taadrg.idx\tZZZZZ\n"},
        {"conditions.tsv", "condition\tfirst_slot\tlast_slot\tlabel\n100\t1\t1\theart\n860\t2\t10\t\n"},
        {"diagnoses.tsv", "code\tid\nA01\t2\nB02\t1\nC03\t3\nC03.1\t3\n"},
        {"procedures.tsv", "code\n1-100\n5-200\n"},
        {"mdcs.tsv", "code\nPRE\n01\n"},
        {"adrgs.tsv", "code\nA010\nB010\n"},
        {"refined.tsv", "code\nA010A\nB010A\nB010B\n"},
        {"dagger-asterisk.tsv", "principal\tpartner\tfrom\tto\n-\tB02\t-\t-\nA01\tC03\t-\t20091231\n"},
        {"diagnosis-conditions.tsv", "code\tcondition\ttag\nA01\t100:heart\tT\n"},
        {"procedure-conditions.tsv", "code\tcondition\tfrom\n5-200\t357\t20090101\n"},
        {"decisions.tsv", "range\tmust_hold\tmust_not_hold\tmdc\tadrg\nPRE\t100\t800\t01\tB010\n01\t-\t-\t01\tA010\n"},
        {"refinements.tsv", "adrg\tmin_age\tmax_age\tsuffix\nB010\t0\t17\tA\nB010\t18\t150\tB\n"},
        {"levels.tsv", "diagnosis\tdefault\tlevels\nB02\t2\tB010=3\n"},
        {"exclusions.tsv", "diagnosis\texcluded\nB02\t- C03\n"},
        {"splits.tsv", "refined\tprofile\nB010A\t01234\n@3\tAB\\x00\\x00\\x00\n"},
    };
    return files;
}

bool sameSource(const Source& a, const Source& b) {
    if (a.size() != b.size()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (i->first != j->first || !sameContent(i->second, j->second)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> names = sourceFileNames();
    if (size == 0) return 0;
    // The first byte picks the file, and whether the rest replaces its text
    // or follows it as more rows (which reach the compiler far more often).
    const std::string& name = names[(data[0] & 0x7f) % names.size()];
    std::map<std::string, std::string> texts = baseTexts();
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    texts[name] = (data[0] & 0x80) != 0 ? texts[name] + input : input;
    Source source;
    Diagnostics diagnostics;
    for (const auto& [file, text] : texts) source[file] = parseSourceText(text, file, diagnostics);
    const CompileOptions small{uint64_t{1} << 20};
    const auto tables = compileSource(source, diagnostics, small);
    if (!tables) return 0;
    const Source dumped = decompileTables(*tables);
    Diagnostics again;
    const auto rebuilt = compileSource(dumped, again, CompileOptions{small.mostFileBytes, true});
    if (!rebuilt || !sameSource(dumped, decompileTables(*rebuilt))) std::abort();
    return 0;
}
