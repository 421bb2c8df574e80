#include "vcam/operation_codes.h"

namespace kvx::vcam {

bool HasWritePhase(uint16_t op) {
    switch (op) {
        case 0x9016:
        case 0x9017:
        case 0x9018:
        case 0x9024:
        case 0x9028:
        case 0x902A:
        case 0x901B:
        case 0x9019:
        case 0x901C:
        case 0x901D:
        case 0x902F:
            return true;
        default:
            return false;
    }
}

bool IsReadOp(uint16_t op) {
    switch (op) {
        case 0x9010:
        case 0x9011:
        case 0x902C:
        case 0x9012:
        case 0x9013:
        case 0x9014:
        case 0x9023:
        case 0x9027:
        case 0x9029:
        case 0x901A:
        case 0x9025:
        case 0x9026:
        case 0x902E:
        case 0x9015:
        case 0x9020:
        case 0x902D:
        case 0x9021:
        case 0x9022:
        case 0x902B:
        case 0x1087:
            return true;
        default:
            return false;
    }
}

bool IsLargeRead(uint16_t op) {
    return op == 0x902C || op == 0x9021 || op == 0x9022 || op == 0x902B;
}

}  // namespace kvx::vcam
