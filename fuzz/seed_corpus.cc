// Writes the inputs a fuzz target starts from into a corpus folder:
//   drg_fuzz_seeds TARGET FOLDER
// Targets without seeds of their own start from an empty corpus.
#include <cstdio>
#include <string>
#include <vector>

#include "harness/record_harness.h"
#include "harness/table_bytes_harness.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: drg_fuzz_seeds TARGET FOLDER\n");
        return 2;
    }
    const std::string target = argv[1];
    std::vector<std::string> seeds;
    if (target == "table_bytes") seeds = drg::fuzz::tableBytesSeeds();
    if (target == "record") seeds = drg::fuzz::recordSeeds();
    for (size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = std::string(argv[2]) + "/seed-" + std::to_string(i);
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(seeds[i].data(), 1, seeds[i].size(), out) != seeds[i].size()) {
            std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
            return 1;
        }
        std::fclose(out);
    }
    return 0;
}
