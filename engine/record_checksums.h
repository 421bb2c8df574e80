// Byte-sum tests of the records the camera sends. A mismatch is only logged:
// the record is used anyway and nothing is retried.
//
// Every test reads only inside the record it is given: a length that would
// place the camera's checksum byte at or past the end of the record is not
// tested (and not logged), like a length outside the tested range.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvx::engine {

enum class ChecksumResult { kNotTested, kMatch, kMismatch };

// Low 8 bits of the plain byte sum.
uint8_t ByteSum(const uint8_t* data, size_t count);

// Configuration record (53 bytes): signed L at byte 0, camera's value at
// byte L + 1, sum over bytes 0 .. L - 1.
ChecksumResult CheckConfigRecord(const uint8_t* record, size_t size = 53);
// Camera status record (10 bytes), same rule.
ChecksumResult CheckStatusRecord(const uint8_t* record, size_t size = 10);
// Capture status record (8 bytes): camera's value at byte L + 1, sum over
// bytes 0 .. L.
ChecksumResult CheckCaptureStatusRecord(const uint8_t* record, size_t size = 8);
// Data group and settable-info records: camera's value at byte L + 2, sum
// over bytes 0 .. L + 1, tested when 2 < L < recordSize. name is the record
// name used in the log line ("DataGroup1", "CanSetInfo3", ...).
ChecksumResult CheckDataRecord(int length, size_t recordSize, const uint8_t* record,
                               const char* name);
// The program's name for the rule above: true unless the checksum mismatched.
bool CalcDataCheckSum(int length, size_t recordSize, const uint8_t* record, const char* name);
// Picture file list: camera's value at byte n, sum over bytes 0 .. n - 1.
// available is the number of list bytes actually received; when n is not
// below it the camera's byte was never received and nothing is tested.
ChecksumResult CheckPictFileList(const uint8_t* list, size_t n, size_t available);

}  // namespace kvx::engine
