// Points the program's log at a fresh folder for one test and reads it back.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/write_log.h"

namespace kvx::test {

class LogCapture {
public:
    LogCapture() {
        static int serial = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("kvx-engine-log-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        DeliverableLog().SetFolder(dir_.string() + "/");
        DeliverableLog().SetThreshold(6);
    }
    ~LogCapture() {
        DeliverableLog().SetThreshold(0);
        std::filesystem::remove_all(dir_);
    }

    // Every line as "LL | text".
    std::vector<std::string> Lines() const {
        std::lock_guard guard(DeliverableLog().Lock());
        std::ifstream in(dir_ / "kvx.log", std::ios::binary);
        std::vector<std::string> out;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out.push_back(line.size() > 19 ? line.substr(19) : line);
        }
        return out;
    }
    // Lines "LL | text" equal to the given level and text.
    int Count(int level, const std::string& text) const {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02d | ", level);
        auto lines = Lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), std::string(prefix) + text));
    }
    bool Has(int level, const std::string& text) const { return Count(level, text) > 0; }
    // Lines whose text contains the fragment, any level.
    int CountContaining(const std::string& fragment) const {
        auto lines = Lines();
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(),
            [&](const std::string& l) { return l.find(fragment) != std::string::npos; }));
    }
    void Clear() {
        std::lock_guard guard(DeliverableLog().Lock());
        std::filesystem::remove(dir_ / "kvx.log");
    }

private:
    std::filesystem::path dir_;
};

}  // namespace kvx::test
