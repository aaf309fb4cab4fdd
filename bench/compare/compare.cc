// Times two builds of the grouping core against each other in one process:
// blocks of records go to one build and the next, and each round swaps which
// build takes which block. On a shared machine the speed of a core moves by
// half or more from one minute to the next; interleaved blocks share that
// drift. What remains is where the code and each build's copy of the release
// landed in memory, which moves the ratio by a few percent from one process
// to the next: compare-builds.sh runs several, in both link orders and both
// opening orders, and takes the median.
//   compare DIRECTORY RECORDS ROUNDS [b-first]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" void* a_open(const char* directory);
extern "C" int a_group(void* side, const char* line, size_t length, char* out);
extern "C" void* b_open(const char* directory);
extern "C" int b_group(void* side, const char* line, size_t length, char* out);

namespace {

constexpr size_t kBlock = 500;  // records per block
// Room for each output line beyond its input line: a line shorter than a
// record grows to a record's length.
constexpr size_t kGrowth = 512;
using GroupFunction = int (*)(void*, const char*, size_t, char*);

std::vector<size_t> lineStarts(const std::vector<char>& text, size_t most) {
    std::vector<size_t> starts;
    size_t at = 0;
    while (at < text.size() && starts.size() < most) {
        starts.push_back(at);
        const void* newline = std::memchr(text.data() + at, '\n', text.size() - at);
        at = newline ? static_cast<size_t>(static_cast<const char*>(newline) - text.data()) + 1 : text.size();
    }
    starts.push_back(at);
    return starts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && !(argc == 5 && std::strcmp(argv[4], "b-first") == 0)) {
        std::fputs("usage: compare DIRECTORY RECORDS ROUNDS [b-first]\n", stderr);
        return 2;
    }
    const bool bFirst = argc == 5;
    const std::string directory = argv[1];
    const size_t most = std::strtoul(argv[2], nullptr, 10);
    const int rounds = std::atoi(argv[3]);
    if (rounds < 1) {
        std::fputs("compare: ROUNDS must be 1 or more\n", stderr);
        return 2;
    }
    std::ifstream input(directory + "/valtic.in", std::ios::binary);
    const std::vector<char> text((std::istreambuf_iterator<char>(input)), {});
    const std::vector<size_t> starts = lineStarts(text, most);
    const size_t records = starts.size() - 1;
    // The release opened first lands lower in memory.
    void* sides[2] = {nullptr, nullptr};
    if (bFirst) sides[1] = b_open(directory.c_str());
    sides[0] = a_open(directory.c_str());
    if (!bFirst) sides[1] = b_open(directory.c_str());
    if (!sides[0] || !sides[1] || records == 0) return 1;
    const GroupFunction group[2] = {a_group, b_group};

    // Each side writes its own copy of the output; the two must agree.
    const size_t outSize = text.size() + kGrowth * (records + 1);
    std::vector<char> out[2] = {std::vector<char>(outSize), std::vector<char>(outSize)};
    std::vector<double> ratios;
    double total[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
        double seconds[2] = {0, 0};
        for (size_t block = 0; block * kBlock < records; ++block) {
            const int side = static_cast<int>((block + static_cast<size_t>(round)) & 1);
            const size_t end = std::min(records, (block + 1) * kBlock);
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = block * kBlock; i < end; ++i)
                if (group[side](sides[side], text.data() + starts[i], starts[i + 1] - starts[i],
                                out[side].data() + starts[i] + kGrowth * i) != 0)
                    return 1;
            seconds[side] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        ratios.push_back(seconds[1] / seconds[0]);
        total[0] += seconds[0];
        total[1] += seconds[1];
    }
    if (out[0] != out[1]) std::puts("note: the two builds' outputs differ");
    std::sort(ratios.begin(), ratios.end());
    const double half = static_cast<double>(records * static_cast<size_t>(rounds)) / 2;
    std::printf("A %.0f ns, B %.0f ns per record; B/A median %.4f of %d rounds (lowest %.4f, highest %.4f)\n",
                total[0] / half * 1e9, total[1] / half * 1e9, ratios[ratios.size() / 2], rounds, ratios.front(),
                ratios.back());
    return 0;
}
