// What this process holds, from /proc/self: open descriptors, threads and
// resident memory. The plug cycle test and the window benchmark compare
// them across many links.
#pragma once

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace kvx::test {

struct ProcessCounts {
    size_t fds = 0;
    size_t threads = 0;
    long rssKb = -1;

    static ProcessCounts Now() {
        ProcessCounts c;
        c.fds = Entries("/proc/self/fd") - 1;  // the listing's own descriptor
        c.threads = Entries("/proc/self/task");
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmRSS:", 0) == 0) c.rssKb = std::atol(line.c_str() + 6);
        return c;
    }

private:
    static size_t Entries(const char* folder) {
        size_t n = 0;
        if (DIR* d = ::opendir(folder)) {
            while (const dirent* e = ::readdir(d))
                if (e->d_name[0] != '.') ++n;
            ::closedir(d);
        }
        return n;
    }
};

}  // namespace kvx::test
