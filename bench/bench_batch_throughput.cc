// Throughput of the whole batch run (read, group, write) on a made-up release
// of realistic size: 2000 diagnoses and 1000 procedures raising conditions,
// 300 decision rows in range 1 and 15 in each of 25 MDC ranges, 400 ADRGs
// split by age and PCCL, levels and exclusion lists. Compared with a plain
// buffered copy of the same input file.
//
//   bench_batch_throughput [records [folder]]   (default 300000 records in a
//   scratch folder; a named folder keeps the release and input for profiling)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "batch/batch_run.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "support/test_files.h"

using namespace drg::testing;

namespace {

void copyFile(const std::string& from, const std::string& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    std::vector<char> buffer(size_t{1} << 20);
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) std::fwrite(buffer.data(), 1, n, out);
    std::fclose(in);
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 300000;
    std::mt19937 rng(7);
    TableBuilder b;
    std::vector<std::string> dx, sg;
    for (int i = 0; i < 2000; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%c%02d.%d", 'A' + i % 26, (i / 26) % 100, i % 10);
        dx.push_back(code);
        b.diagnosisCondition(code, 1 + static_cast<int>(rng() % 300));
        b.diagnosisCondition(code, 301 + static_cast<int>(rng() % 300));
    }
    for (int i = 0; i < 1000; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%d-%03d", 1 + i % 9, i);
        sg.push_back(code);
        b.procedureCondition(code, 601 + static_cast<int>(rng() % 150));
        if (i % 5 == 0) b.procedureCondition(code, 357);
    }
    std::vector<int> mdcs, adrgs;
    for (int m = 0; m < 25; ++m) mdcs.push_back(b.mdc(std::to_string(m + 1)));
    for (int a = 0; a < 400; ++a) {
        char text[8];
        std::snprintf(text, sizeof text, "%c%02d%c", 'A' + a % 20, a / 20, 'Z');
        adrgs.push_back(b.adrg(text));
        b.refinementRow(text, 0, 17, 'A');
        b.refinementRow(text, 18, 200, 'B');
        b.drg(std::string(text) + "A");
        b.drg(std::string(text) + "B");
        b.splitRow(std::string(text) + "B", "ABCDE");
    }
    for (int r = 0; r < 300; ++r)
        b.decisionRow({.range = 1, .mustSet = {1 + r}, .mustClear = {700 + r % 50}, .mdc = mdcs[r % 25],
                       .adrg = adrgs[r]});
    for (int m = 0; m < 25; ++m)
        for (int r = 0; r < 15; ++r)
            b.decisionRow({.range = mdcs[m], .mustSet = {301 + (m * 15 + r) % 300}, .mdc = 0,
                           .adrg = adrgs[(m * 15 + r) % 400]});
    for (int i = 0; i < 2000; i += 3) b.levelRow(dx[i], {}, static_cast<char>('1' + i % 4));
    for (int i = 0; i < 2000; i += 7) b.exclusions(dx[i], {dx[(i + 3) % 2000], dx[(i + 6) % 2000]});

    TempDir scratch;
    const std::string folder = argc > 2 ? argv[2] : scratch.path();
    struct Folder {
        std::string path;
        std::string file(const std::string& name) const { return path + "/" + name; }
    } dir{folder};
    b.write(dir.path);
    std::string input;
    for (int n = 0; n < records; ++n) {
        RecordBuilder r;
        r.birthDate("500615").sex(n % 2 ? '1' : '2').date(n % 3 ? "20120615" : "20100301").stayDays("  5");
        const int ndx = 1 + static_cast<int>(rng() % 10), nsg = static_cast<int>(rng() % 12);
        for (int i = 0; i < ndx; ++i) r.slot(1 + i, dx[rng() % dx.size()]);
        for (int i = 0; i < nsg; ++i) r.slot(11 + i, sg[rng() % sg.size()]);
        input += r.line();
    }
    writeFile(dir.file("valtic.in"), input);
    const auto start = std::chrono::steady_clock::now();
    const int status = drg::runBatch(dir.path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string out = readFile(dir.file("valtic.out"));
    size_t grouped = 0;
    for (size_t p = 0; p + 306 <= out.size(); p += 306) grouped += out.compare(p + 283, 3, "000") != 0;
    std::printf("drg-batch run: status %d, %d records in %.3f s: %.0f records/s, %.1f MB/s; %zu with an MDC\n", status,
                 records, seconds, records / seconds, static_cast<double>(input.size()) / seconds / 1e6, grouped);
    const auto copyStart = std::chrono::steady_clock::now();
    copyFile(dir.file("valtic.in"), dir.file("copy"));
    const double copySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count();
    std::printf("plain copy of the input: %.3f s (%.0f lines/s)\n", copySeconds, records / copySeconds);
    return 0;
}
