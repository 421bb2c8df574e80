#include "ui/special_dialog_rules.h"

#include <algorithm>
#include <cstdio>

#include "model/camera.h"
#include "model/record_layout.h"
#include "model/value_tables.h"

namespace kvx::ui {

int BracketAmountPosition(uint8_t code) {
    for (size_t i = 0; i < kBracketAmountCodes.size(); ++i)
        if (kBracketAmountCodes[i] == code) return int(i);
    return -1;
}

std::string BracketAmountText(int position) {
    static constexpr int kTenths[] = {0, 3, 7, 10, 13, 17, 20, 23, 27, 30};
    const int t = kTenths[std::clamp(position, 0, 9)];
    char buf[16];
    std::snprintf(buf, sizeof buf, t ? "+%d.%d" : "%d.%d", t / 10, t % 10);
    return buf;
}

IsoAutoRange IsoAutoRangeOf(const VARNO::CCamera& camera) {
    using VARNO::SettableField;
    std::optional<uint32_t> upper, lower;
    if (camera.VersionInForce() == 2) {
        upper = camera.Settable(SettableField::IsoAutoLimitUpper);
        lower = camera.Settable(SettableField::IsoAutoLimitLower);
    } else {
        upper = camera.Settable(SettableField::IsoUpper);
        lower = camera.Settable(SettableField::IsoLower);
    }
    IsoAutoRange r;
    // A range that names no ISO value, or is upside down, leaves the whole table.
    if (upper && lower && *lower <= *upper && *lower >= 16 && *upper <= 255) {
        r.min = uint8_t(*lower);
        r.max = uint8_t(*upper);
    }
    return r;
}

namespace {

template <typename Keep>
IsoLimitList Build(bool wholeSteps, IsoAutoRange range, uint8_t select, Keep keep) {
    IsoLimitList out;
    for (const auto& row : VARNO::IsoLimitTable(wholeSteps)) {
        if (row.code < range.min || row.code > range.max || !keep(row.code)) continue;
        if (row.code == select) out.selection = int(out.codes.size());
        out.codes.push_back(row.code);
    }
    return out;
}

}  // namespace

IsoLimitList IsoLowerLimitList(bool wholeSteps, IsoAutoRange range, uint8_t upper, uint8_t select) {
    return Build(wholeSteps, range, select, [&](uint8_t c) { return c < upper; });
}

IsoLimitList IsoUpperLimitList(bool wholeSteps, IsoAutoRange range, uint8_t lower, uint8_t select) {
    return Build(wholeSteps, range, select, [&](uint8_t c) { return c > lower; });
}

std::string IsoLimitText(uint8_t code) {
    for (bool whole : {false, true})
        for (const auto& row : VARNO::IsoLimitTable(whole))
            if (row.code == code) return row.text;
    return {};
}

std::vector<GridMark> WbBracketMarks(uint8_t axis, uint8_t numberCode, uint8_t step) {
    std::vector<GridMark> out;
    if (step == 0) return out;
    const int pairs = numberCode == 2 ? 2 : 1;
    for (int k = 1; k <= pairs; ++k)
        for (int sign : {-1, 1}) {
            const int d = sign * k * int(step);
            out.push_back(axis == 1 ? GridMark{d, 0} : GridMark{0, d});
        }
    return out;
}

}  // namespace kvx::ui
