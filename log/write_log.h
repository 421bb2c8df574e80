// The deliverable's own log: every executable and the camera link library
// that compile log/write_log.cpp get a separate writer, threshold and lock.
#pragma once

#include "log_writer.h"

kvx::log::LogWriter& DeliverableLog();

// Level 1 (errors) to 6 (status checksum OK); written when level <= threshold.
int WriteLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
