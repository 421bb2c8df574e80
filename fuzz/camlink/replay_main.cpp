// Runs a fuzz target without libFuzzer: every seed file of a corpus folder,
// then a fixed number of deterministic mutations of each, so that the normal
// test suite exercises the parsers too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

struct Random {
    uint64_t state;
    uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
};

std::vector<uint8_t> Mutate(std::vector<uint8_t> in, Random& rng) {
    static const uint8_t kInteresting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x0C, 0x02, 0x03, 0x20};
    const int steps = 1 + static_cast<int>(rng.Below(4));
    for (int s = 0; s < steps; ++s) {
        switch (rng.Below(6)) {
            case 0:
                if (!in.empty())
                    in[rng.Below(in.size())] ^= static_cast<uint8_t>(1u << rng.Below(8));
                break;
            case 1:
                if (!in.empty())
                    in[rng.Below(in.size())] = kInteresting[rng.Below(sizeof kInteresting)];
                break;
            case 2:
                if (!in.empty()) in.resize(rng.Below(in.size()));
                break;
            case 3: {
                size_t at = rng.Below(in.size() + 1);
                size_t n = 1 + rng.Below(16);
                std::vector<uint8_t> extra(n);
                for (auto& b : extra) b = static_cast<uint8_t>(rng.Next());
                in.insert(in.begin() + static_cast<long>(at), extra.begin(), extra.end());
                break;
            }
            case 4:
                // A 32-bit field set to an extreme value.
                if (in.size() >= 4) {
                    size_t at = rng.Below(in.size() - 3);
                    uint32_t v = rng.Below(2) ? 0xFFFFFFFFu
                                              : static_cast<uint32_t>(in.size() + rng.Below(8) - 4);
                    for (int k = 0; k < 4; ++k)
                        in[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
                }
                break;
            default:
                if (in.size() > 1) std::swap(in[rng.Below(in.size())], in[rng.Below(in.size())]);
                break;
        }
    }
    return in;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [MUTATIONS_PER_SEED]\n", argv[0]);
        return 2;
    }
    const long perSeed = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 2000;
    std::vector<std::vector<uint8_t>> seeds;
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(argv[1], ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds in %s\n", argv[1]);
        return 1;
    }
    long runs = 0;
    Random rng{0x9E3779B97F4A7C15ull};
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        ++runs;
        std::vector<uint8_t> current = seed;
        for (long i = 0; i < perSeed; ++i) {
            // Mutations build on each other for a while, then start over from the seed.
            if (i % 16 == 0) current = seed;
            current = Mutate(current, rng);
            LLVMFuzzerTestOneInput(current.data(), current.size());
            ++runs;
        }
    }
    std::printf("replayed %ld inputs from %zu seeds\n", runs, seeds.size());
    return 0;
}
