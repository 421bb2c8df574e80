// Counts of what a target's checks saw, printed at exit when KVX_FUZZ_STATS
// is set, to show that a corpus reaches the checked paths at all.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kvx::fuzz {

struct CheckStats {
    const char* name;
    unsigned long counts[8] = {};
    const char* labels[8] = {};
    ~CheckStats() {
        if (!std::getenv("KVX_FUZZ_STATS")) return;
        std::fprintf(stderr, "%s:", name);
        for (int i = 0; i < 8; ++i)
            if (labels[i]) std::fprintf(stderr, " %s=%lu", labels[i], counts[i]);
        std::fprintf(stderr, "\n");
    }
};

}  // namespace kvx::fuzz
