// Diagnostic log writer shared by the program and the camera link library.
// Each deliverable compiles its own copy (see write_log.h), so each has its
// own threshold and lock; the two share only the file "kvx.log".
#pragma once

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <mutex>
#include <string>

namespace kvx::log {

constexpr int kBufferSize = 256;  // format, message and line buffers: at most 255 characters

class LogWriter {
public:
    LogWriter() = default;
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void SetThreshold(int threshold) { threshold_.store(threshold, std::memory_order_relaxed); }
    int Threshold() const { return threshold_.load(std::memory_order_relaxed); }

    // What a line does when its folder does not exist: a build tree's folder
    // that vanished stays gone (the line is dropped), the user's state folder
    // is made by the first line written into it.
    enum class MissingFolder { Drop, Make };

    // The folder keeps its trailing separator, as the executable folder does.
    void SetFolder(std::string folder, MissingFolder missing = MissingFolder::Drop);
    std::string Folder() const;
    // The file lines go to: "kvx.log" in the folder, unless a file was named.
    std::string FilePath() const;
    // Names the file itself (a front end's option for one run); empty goes
    // back to "kvx.log" in the folder. A named file's folder is never made.
    void SetFilePath(std::string path);
    // Opens the file for appending, as a line would, without writing: 0, or
    // the errno that keeps lines out of it.
    int CheckOpen() const;

    // The lock that serialises the open-write-close of one line. In the
    // program it doubles as the application lock, so it is re-entrant.
    std::recursive_mutex& Lock() { return lock_; }

    // 0 when written or suppressed by the threshold, -1 when the file could
    // not be opened or written.
    int Write(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    int WriteV(int level, const char* format, va_list args);

    // The finished line without its line end, cut to 255 characters.
    static std::string FormatLine(const std::tm& local, unsigned milliseconds, int level,
                                  const char* message);

private:
    std::atomic<int> threshold_{0};
    // The application lock of the program (see Lock()): the outermost lock.
    mutable std::recursive_mutex lock_;
    std::string folder_;                                // guarded by lock_
    std::string file_;                             // guarded by lock_; empty: folder_ + "kvx.log"
    MissingFolder missing_ = MissingFolder::Drop;  // guarded by lock_
};

}  // namespace kvx::log
