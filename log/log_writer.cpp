#include "log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvx::log {

namespace {

// Makes every missing folder of path (which ends in a separator), private to
// the user as per-user state folders are. Nothing is made on the way to a
// folder that already exists.
void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

int OpenForAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

void LogWriter::SetFolder(std::string folder, MissingFolder missing) {
    std::lock_guard guard(lock_);
    folder_ = std::move(folder);
    missing_ = missing;
}

std::string LogWriter::Folder() const {
    std::lock_guard guard(lock_);
    return folder_;
}

std::string LogWriter::FilePath() const {
    std::lock_guard guard(lock_);
    return file_.empty() ? folder_ + "kvx.log" : file_;
}

void LogWriter::SetFilePath(std::string path) {
    std::lock_guard guard(lock_);
    file_ = std::move(path);
}

int LogWriter::CheckOpen() const {
    const std::string path = FilePath();
    std::lock_guard guard(lock_);
    int fd = OpenForAppend(path);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

std::string LogWriter::FormatLine(const std::tm& local, unsigned milliseconds, int level,
                                  const char* message) {
    char line[kBufferSize];
    int n = std::snprintf(line, sizeof line, "%02d/%02d %02d:%02d:%02d.%03u ", local.tm_mon + 1,
                          local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                          milliseconds % 1000u);
    if (n < 0) n = 0;
    char levelField[32];
    std::snprintf(levelField, sizeof levelField, "%02d | ", level);
    std::string out(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n)
                                                               : sizeof line - 1);
    out += levelField;
    out += message;
    if (out.size() > kBufferSize - 1) out.resize(kBufferSize - 1);
    return out;
}

int LogWriter::Write(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int r = WriteV(level, format, args);
    va_end(args);
    return r;
}

int LogWriter::WriteV(int level, const char* format, va_list args) {
    if (level > Threshold()) return 0;
    if (format == nullptr) format = "";

    // Formatting happens outside the lock. vsnprintf cuts an overlong
    // message at 255 characters and always terminates it.
    char message[kBufferSize];
    if (std::vsnprintf(message, sizeof message, format, args) < 0) message[0] = '\0';

    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    std::string line = FormatLine(local, static_cast<unsigned>(tv.tv_usec / 1000), level, message);
    // Text-mode files of the original platform end their lines in CR LF;
    // readers of the log expect the same bytes on every system.
    line += "\r\n";

    std::lock_guard guard(lock_);
    // One append-mode write per line: concurrent writers, in this process or
    // another, can interleave lines but never split one.
    int fd = OpenForAppend(file_.empty() ? folder_ + "kvx.log" : file_);
    if (fd < 0 && errno == ENOENT && missing_ == MissingFolder::Make && !folder_.empty() &&
        file_.empty()) {
        // An installed program logs into the user's state folder, which
        // nobody may have made yet; only a line that is written makes it.
        MakeFolders(folder_);
        fd = OpenForAppend(folder_ + "kvx.log");
    }
    if (fd < 0) return -1;
    const char* p = line.data();
    size_t left = line.size();
    int result = 0;
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            result = -1;
            break;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    ::close(fd);
    return result;
}

}  // namespace kvx::log
