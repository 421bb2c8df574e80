#include "engine/record_checksums.h"

#include "log/write_log.h"

namespace kvx::engine {

namespace {

// Shared shape of the rules: value byte at valueAt, sum over [0, sumCount).
ChecksumResult Compare(const uint8_t* record, size_t valueAt, size_t sumCount, uint8_t& calc,
                       uint8_t& cam) {
    calc = ByteSum(record, sumCount);
    cam = record[valueAt];
    return calc == cam ? ChecksumResult::kMatch : ChecksumResult::kMismatch;
}

// Rule A over a record with a signed length byte.
ChecksumResult RuleA(const uint8_t* record, size_t size, uint8_t& calc, uint8_t& cam) {
    int length = static_cast<int8_t>(record[0]);
    if (length <= 2 || static_cast<size_t>(length) >= size) return ChecksumResult::kNotTested;
    if (static_cast<size_t>(length) + 1 >= size) return ChecksumResult::kNotTested;
    return Compare(record, static_cast<size_t>(length) + 1, static_cast<size_t>(length), calc, cam);
}

}  // namespace

uint8_t ByteSum(const uint8_t* data, size_t count) {
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i) sum += data[i];
    return static_cast<uint8_t>(sum);
}

ChecksumResult CheckConfigRecord(const uint8_t* record, size_t size) {
    uint8_t calc = 0, cam = 0;
    ChecksumResult r = RuleA(record, size, calc, cam);
    if (r == ChecksumResult::kMatch) {
        WriteLog(5, "-- GetCamConfig: Checksum OK");
    } else if (r == ChecksumResult::kMismatch) {
        WriteLog(1, "+++ GetCamConfig: Checksum error Calc-val=0x%x, Cam-val=0x%x", calc, cam);
    }
    return r;
}

ChecksumResult CheckStatusRecord(const uint8_t* record, size_t size) {
    uint8_t calc = 0, cam = 0;
    ChecksumResult r = RuleA(record, size, calc, cam);
    if (r == ChecksumResult::kMatch) {
        WriteLog(6, "-- GetCamStatus: Checksum OK");
    } else if (r == ChecksumResult::kMismatch) {
        WriteLog(1, "--- GetCamStatus: Check sum error Calc-val=0x%x, Cam-val=0x%x", calc, cam);
    }
    return r;
}

ChecksumResult CheckCaptureStatusRecord(const uint8_t* record, size_t size) {
    int length = static_cast<int8_t>(record[0]);
    if (length <= 2 || static_cast<size_t>(length) >= size) return ChecksumResult::kNotTested;
    if (static_cast<size_t>(length) + 1 >= size) return ChecksumResult::kNotTested;
    uint8_t calc = 0, cam = 0;
    ChecksumResult r = Compare(record, static_cast<size_t>(length) + 1,
                               static_cast<size_t>(length) + 1, calc, cam);
    if (r == ChecksumResult::kMismatch) {
        WriteLog(1, "--- GetCaptureStatus: Check sum error Calc-val=0x%x, Cam-val=0x%x", calc, cam);
    }
    return r;
}

ChecksumResult CheckDataRecord(int length, size_t recordSize, const uint8_t* record,
                               const char* name) {
    if (length <= 2 || static_cast<size_t>(length) >= recordSize) return ChecksumResult::kNotTested;
    if (static_cast<size_t>(length) + 2 >= recordSize) return ChecksumResult::kNotTested;
    uint8_t calc = 0, cam = 0;
    ChecksumResult r = Compare(record, static_cast<size_t>(length) + 2,
                               static_cast<size_t>(length) + 2, calc, cam);
    if (r == ChecksumResult::kMatch) {
        WriteLog(5, "-- CalcDataCheckSum: %s Checksum OK", name);
    } else {
        WriteLog(1, "+++ CalcDataCheckSum: %s Checksum error Calc-val=0x%x, Cam-val=0x%x", name,
                 calc, cam);
    }
    return r;
}

bool CalcDataCheckSum(int length, size_t recordSize, const uint8_t* record, const char* name) {
    return CheckDataRecord(length, recordSize, record, name) != ChecksumResult::kMismatch;
}

ChecksumResult CheckPictFileList(const uint8_t* list, size_t n, size_t available) {
    if (list == nullptr || n >= available) return ChecksumResult::kNotTested;
    uint8_t calc = 0, cam = 0;
    ChecksumResult r = Compare(list, n, n, calc, cam);
    if (r == ChecksumResult::kMatch) {
        WriteLog(5, "-- GetPictFileInfo: Checksum OK");
    } else {
        WriteLog(1, "+++ GetPictFileInfo: Checksum error Calc-val=0x%x, Cam-val=0x%x", calc, cam);
    }
    return r;
}

}  // namespace kvx::engine
