#include "write_log.h"

#include <string>

#include "log/executable_folder.h"
#include "log_folder.h"

kvx::log::LogWriter& DeliverableLog() {
    static kvx::log::LogWriter* writer = [] {
        // Never destroyed: threads and static destructors may still log at exit.
        auto* w = new kvx::log::LogWriter();
        const std::string executableFolder = kvx::ExecutableFolder();
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
