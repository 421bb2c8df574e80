#include "write_log.h"

#include <unistd.h>

#include <climits>
#include <string>

#include "log_folder.h"

namespace {

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

kvx::log::LogWriter& DeliverableLog() {
    static kvx::log::LogWriter* writer = [] {
        // Never destroyed: threads and static destructors may still log at exit.
        auto* w = new kvx::log::LogWriter();
        const std::string executableFolder = ExecutableFolder();
        const std::string folder = kvx::log::ChooseLogFolder(executableFolder);
        w->SetFolder(folder, folder == executableFolder ? kvx::log::LogWriter::MissingFolder::Drop
                                                        : kvx::log::LogWriter::MissingFolder::Make);
        return w;
    }();
    return *writer;
}

int WriteLog(int level, const char* format, ...) {
    auto& log = DeliverableLog();
    if (level > log.Threshold()) return 0;
    va_list args;
    va_start(args, format);
    int r = log.WriteV(level, format, args);
    va_end(args);
    return r;
}
