#include "ui/main_dlg_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kvx::ui::rules {

namespace {

constexpr uint8_t kDriveAutoBracketing = 6;
constexpr uint8_t kDriveIntervalTimer = 7;
constexpr int kCameraStateBusy = 5;

// Drive class of the capture button table, -1 for none.
int DriveClass(uint8_t driveMode, uint8_t mirrorUpRelease) {
    switch (driveMode) {
        case 1:
        case 7:
            return 0;
        case 2:
            return 1;
        case 3:
        case 4:
            return 2;
        case 5:
            if (mirrorUpRelease == 1) return 3;
            if (mirrorUpRelease == 2 || mirrorUpRelease == 3) return 4;
            return -1;
        default:
            return -1;
    }
}

int AfClass(uint8_t afMode) {
    switch (afMode) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 3:
        case 17:
        case 18:
            return 2;
        default:
            return -1;
    }
}

// (AF Capture, Capture, AF only) by drive class and AF class.
constexpr CaptureButtons kCaptureTable[5][3] = {
    {{true, true, true}, {true, true, false}, {false, true, false}},
    {{true, true, false}, {true, true, false}, {false, true, false}},
    {{true, true, false}, {true, true, false}, {false, true, false}},
    {{true, true, true}, {true, true, false}, {false, true, false}},
    {{true, true, true}, {true, true, false}, {false, true, false}},
};

char Digit(int d) {
    return static_cast<char>('0' + std::clamp(d, 0, 9));
}

std::string TwoByTwo(int a, int b) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d", std::clamp(a, 0, 99), std::clamp(b, 0, 99));
    return text;
}

}  // namespace

CaptureButtons EvaluateCaptureButtons(const CaptureInputs& in) {
    const CaptureButtons off{};
    const int drive = DriveClass(in.driveMode, in.mirrorUpRelease);
    const int af = AfClass(in.afMode);
    if (drive < 0 || af < 0) return off;
    CaptureButtons b = kCaptureTable[drive][af];

    if (in.picturesToCard &&
        !((in.cardState == 1 || in.cardState == 2) && in.remainingShots > 0 && in.cardReady != 0))
        return off;
    // A free space that cannot be read counts as too little.
    if (in.picturesToComputer &&
        !(in.destinationFreeBytes && *in.destinationFreeBytes >= kMinimumFreeBytes))
        return off;
    if (!in.lensReported || in.cameraState == kCameraStateBusy) {
        b.afCapture = false;
        b.afOnly = false;
    }
    if (in.afLocked) b.afOnly = false;
    if (in.driveMode == 0 || in.driveMode == kDriveAutoBracketing) return off;
    if (in.canSetInfo4Received && in.liveViewMagnification != 1) return off;
    if (!in.connected) return off;
    return b;
}

SpecialButtons EvaluateSpecialButtons(const SpecialInputs& in) {
    SpecialButtons s;
    s.autoBracket = in.driveMode != 0 && in.driveMode != kDriveAutoBracketing &&
                    in.driveMode != kDriveIntervalTimer && in.cameraState != kCameraStateBusy &&
                    !in.flashActive && in.connected &&
                    (!in.autoBracketMask || (*in.autoBracketMask & 0x03) != 0);
    s.wbBracket = in.connected && in.wbBracketMask && (*in.wbBracketMask & 0x1F) != 0;
    s.colorBracket = in.connected && in.colorBracketMask && (*in.colorBracketMask & 0x1F) != 0;
    s.abSetting = s.autoBracket || s.wbBracket || s.colorBracket;
    s.liveView = in.connected && in.liveViewOffered.value_or(false);
    return s;
}

std::string RemainingShotsText(uint16_t count, uint8_t cardState) {
    if (cardState == 4 || cardState == 6) return "----";
    if (cardState == 8) return " Err";
    if (count == 0) return "FULL";
    char text[8];
    std::snprintf(text, sizeof text, "%4d", std::min<int>(count, 9999));
    return text;
}

std::string BracketingText(uint8_t shotsClass, uint8_t frameCounter) {
    const int shots = shotsClass == 2 ? 5 : 3;
    return std::string("Ab-") + Digit(shots - frameCounter);
}

int BatteryIcon(int code) {
    static constexpr int kIcons[13] = {0, 1, 4, 5, 6, 6, 7, 0, 8, 0, 2, 3, 0};
    return code >= 1 && code <= 12 ? kIcons[code] : 0;
}

bool BatteryLow(int code) {
    return code == 4 || code == 5 || code == 6;
}

bool BatteryNoPower(int code) {
    return code == 5 || code == 7 || code == 12;
}

AdditionalBatteryCells AdditionalBatteries(int firstCode, int secondCode) {
    AdditionalBatteryCells cells;
    const int first = BatteryIcon(firstCode);
    const int second = BatteryIcon(secondCode);
    if (first == 8 || second == 8 || (BatteryNoPower(firstCode) && BatteryNoPower(secondCode)))
        return cells;
    cells.visible = true;
    cells.first = std::min(first, 6);
    cells.second = std::min(second, 6);
    return cells;
}

BatteryVerdict JudgeBatteries(int mainCode, int firstCode, int secondCode) {
    auto lowOrEmpty = [](int code) { return BatteryLow(code) || BatteryNoPower(code); };
    if (BatteryLow(mainCode) && lowOrEmpty(firstCode) && lowOrEmpty(secondCode))
        return BatteryVerdict::EndProgram;
    if (BatteryNoPower(mainCode) && BatteryNoPower(firstCode) && BatteryNoPower(secondCode))
        return BatteryVerdict::ControlsOff;
    return BatteryVerdict::Normal;
}

int BlinkingBatteryIcon(int code, bool blinkPhase) {
    if (code == 7) return blinkPhase ? 7 : 0;
    return BatteryIcon(code);
}

ApertureCells ApertureReadout(bool connected, bool lensReported, int fNumberTenths) {
    if (!connected) return {' ', ' ', 1};
    if (!lensReported) return {'-', '-', 1};
    const int v = std::max(fNumberTenths, 0);
    if (v >= 100) return {Digit(v / 100 % 10), Digit(v / 10 % 10), 1};
    return {Digit(v / 10), Digit(v % 10), 0};
}

ExposureCells ExposureReadout(const ExposureInputs& in) {
    ExposureCells c;
    const bool manual = (in.exposureMode & 0x0F) == 4;
    const bool bracketing = in.driveMode == kDriveAutoBracketing;
    c.sign = bracketing || in.valueTenths == 0 ? 0 : (in.valueTenths < 0 ? 1 : 2);
    if (manual && in.shutterIsBulb) {
        c.sign = 0;
        if (in.bracketFrameCounter == 0 && !bracketing) return {0, ' ', 1, ' ', 0};
    }
    const int magnitude = std::abs(in.valueTenths);
    c.first = Digit(magnitude / 10);
    c.second = Digit(magnitude % 10);
    c.point = 0;
    c.mark = !manual && in.valueTenths != 0 ? 6 : 0;
    return c;
}

IntervalCells IntervalReadout(bool on, uint16_t runningSeconds, uint8_t runningCount,
                              uint8_t configuredCount) {
    IntervalCells c;
    if (!on) {
        c.timer = "    ";
        c.count = "    ";
        c.noCountVisible = true;  // the count cells are blank, so the mark is there, dark
        return c;
    }
    c.timer = TwoByTwo(runningSeconds / 60, runningSeconds % 60);
    c.colon = 1;
    c.countMark = 1;
    if (configuredCount != 0) {
        c.count = TwoByTwo(runningCount, configuredCount);
        c.separator = 1;
        c.noCountVisible = false;
    } else {
        c.count = "    ";
        c.separator = 0;
        c.noCountVisible = true;
    }
    return c;
}

int BracketProgress(bool amountSet, uint8_t shotsClass, uint8_t frameCounter) {
    if (!amountSet) return 0;
    if (shotsClass == 2) return frameCounter >= 1 && frameCounter <= 4 ? 4 + frameCounter : 4;
    if (frameCounter == 1) return 2;
    if (frameCounter == 2) return 3;
    return 1;
}

std::array<int, 3> MeteringGlyphs(uint8_t meteringCode) {
    std::array<int, 3> g{4, 4, 4};
    switch (meteringCode) {
        case 1:
            g[0] = 2;
            break;
        case 2:
            g[1] = 1;
            break;
        case 4:
            g[2] = 3;
            break;
        default:
            break;  // centre area and anything else: all off
    }
    return g;
}

std::array<int, 4> ExposureModeGlyphs(uint8_t modeCode) {
    std::array<int, 4> g{4, 4, 4, 4};
    switch (modeCode & 0x0F) {
        case 1:
            g[3] = 2;  // P
            break;
        case 2:
            g[2] = 0;  // A
            break;
        case 3:
            g[1] = 3;  // S
            break;
        case 4:
            g[0] = 1;  // M
            break;
        default:
            break;
    }
    return g;
}

std::array<int, 6> CustomModeGlyphs(uint8_t modeCode) {
    std::array<int, 6> g{};
    const bool marked = (modeCode & 0x80) != 0;
    const uint8_t bits[3] = {0x10, 0x20, 0x40};
    for (int i = 0; i < 3; ++i) {
        if ((modeCode & bits[i]) == 0) continue;
        g[2 * i] = marked ? 1 : 0;
        g[2 * i + 1] = i == 2 ? 2 : 1;
    }
    return g;
}

AccordionLayout LayOutAccordion(const Rect& frame, int headerHeight, int openPanel) {
    const int k = std::clamp(openPanel, 0, 5);
    AccordionLayout layout;
    const int panelHeight = std::max(frame.height - 6 * headerHeight, 0);
    int y = frame.y;
    for (int i = 0; i < 6; ++i) {
        layout.headers[i] = {frame.x, y, frame.width, headerHeight};
        y += headerHeight;
        if (i == k) {
            layout.panel = {frame.x, y, frame.width, panelHeight};
            y += panelHeight;
        }
    }
    return layout;
}

int CardFullOverride(int current, uint16_t remainingShots, uint8_t cardState) {
    const bool full = remainingShots == 0 && cardState == 1;
    if (full && current == kOverrideNone) return kOverrideCardFull;
    if (!full && current == kOverrideCardFull) return kOverrideNone;
    return current;
}

int AfModeOverride(int current, uint8_t afMode, bool settable) {
    if (afMode == 2) return current == kOverrideNone && settable ? kOverrideNoFocus : current;
    return current == kOverrideNoFocus ? kOverrideNone : current;
}

MenuStates EvaluateMenus(const MenuInputs& in) {
    const bool canCapture = in.driveMode != 0 && in.driveMode != 6 && in.connected &&
                            in.cameraState != 5 && in.pendingPictures == 0;
    // 9, 11 and 13 are the capture slots of a custom white balance.
    const bool capturing = in.whiteBalance == 9 || in.whiteBalance == 11 || in.whiteBalance == 13;
    bool customSettable = false;
    if (in.settableVersion >= 3)
        customSettable = (in.whiteBalanceMask & 0x6100) != 0;
    else if (in.settableVersion >= 1)
        customSettable = (in.whiteBalanceMask & 0x8000) != 0;
    MenuStates out;
    out.customWb = canCapture && !capturing && customSettable;
    out.dateSetting = canCapture && !capturing;
    out.isoFunction = in.dataGroup4Seen && canCapture && !capturing && !in.qmd;
    return out;
}

}  // namespace kvx::ui::rules
