// The special function dialogs' decisions that need no window: the
// bracketing amount positions, the ISO auto limit lists and the white-balance
// bracketing marks. Plain C++, tested by table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace VARNO {
class CCamera;
}

namespace kvx::ui {

// Bracketing amount positions 0..9: 0.0 to 3.0 EV in third stops. The list
// is fixed (not taken from the camera's exposure list), so a camera that
// steps exposure in half stops still gets ten defined positions.
inline constexpr std::array<uint8_t, 10> kBracketAmountCodes{0, 3, 5, 8, 11, 14, 16, 19, 21, 24};
// Position of an amount code, -1 when it is not one of the ten.
int BracketAmountPosition(uint8_t code);
// "0.0", "+0.3" ... "+3.0" for a position (held to 0..9).
std::string BracketAmountText(int position);

// The range the ISO auto limits may be chosen from: the camera's ISO auto
// range where its settable info has one (version 2), else its ISO range
// (versions 3 and 4), else ISO 100..6400. Never empty.
struct IsoAutoRange {
    uint8_t min = 32;
    uint8_t max = 80;
};
IsoAutoRange IsoAutoRangeOf(const VARNO::CCamera& camera);

// One limit list: the codes offered, and the position of the code to select
// (-1 when it is not among them).
struct IsoLimitList {
    std::vector<uint8_t> codes;
    int selection = -1;
};
// Lower list: codes of the step's table within the range and below `upper`;
// upper list: within the range and above `lower`.
IsoLimitList IsoLowerLimitList(bool wholeSteps, IsoAutoRange range, uint8_t upper, uint8_t select);
IsoLimitList IsoUpperLimitList(bool wholeSteps, IsoAutoRange range, uint8_t lower, uint8_t select);
// "ISO 100" for a limit code; "" for a code of neither table.
std::string IsoLimitText(uint8_t code);

// Offsets (blue-amber, magenta-green, in grid units) of the frames the
// white-balance bracketing adds around the current point: number code 1
// gives 3 frames (2 marks), 2 gives 5 (4 marks); axis 1 spreads them along
// blue-amber, any other along magenta-green. Nothing for a step of 0.
struct GridMark {
    int blueAmber = 0;
    int greenMagenta = 0;
    bool operator==(const GridMark&) const = default;
};
std::vector<GridMark> WbBracketMarks(uint8_t axis, uint8_t numberCode, uint8_t step);

}  // namespace kvx::ui
