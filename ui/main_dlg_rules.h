// The main window's decisions that do not need a window: which capture and
// special buttons are enabled, what each status readout cell shows, where the
// accordion puts its headers and panel, and when the battery ends the program.
// CMainDlg gathers the camera's values, asks these functions and applies the
// answers to its widgets; keeping them pure lets them be checked by table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kvx::ui::rules {

// ---- capture buttons ----

struct CaptureInputs {
    uint8_t driveMode = 0;        // DataGroup2 drive mode (0 before any report)
    uint8_t afMode = 0;           // DataGroup2 AF mode
    uint8_t mirrorUpRelease = 0;  // DataGroup3 Field2 0x04
    bool picturesToCard = false;  // preferences: pictures stay on the card
    bool picturesToComputer = true;
    uint8_t cardState = 0;        // DataGroup1 Field2 0x04
    uint16_t remainingShots = 0;  // DataGroup1 remaining shots
    uint8_t cardReady = 0;        // DataGroup1 Field2 0x01
    // Free bytes on the destination's volume; nullopt when it could not be read.
    std::optional<uint64_t> destinationFreeBytes;
    bool lensReported = false;  // either focal length nonzero
    int cameraState = 0;        // status record camera state (5 = busy)
    bool afLocked = false;
    bool canSetInfo4Received = false;
    uint8_t liveViewMagnification = 1;
    bool connected = false;
};

struct CaptureButtons {
    bool afCapture = false;  // button 200, menu 40006
    bool capture = false;    // button 201, menu 40002
    bool afOnly = false;     // button 202, menu 40007
    bool operator==(const CaptureButtons&) const = default;
};

// The smallest free space that still lets pictures go to the computer.
inline constexpr uint64_t kMinimumFreeBytes = 10ull * 1024 * 1024;

CaptureButtons EvaluateCaptureButtons(const CaptureInputs& in);

// ---- special buttons ----

struct SpecialInputs {
    uint8_t driveMode = 0;
    int cameraState = 0;
    bool flashActive = false;  // DataGroup2 Field2 0x01 nonzero
    bool connected = false;
    // Masks of CanSetInfo4 when one was received, else of CanSetInfo3; nullopt
    // when neither record has arrived.
    std::optional<uint32_t> autoBracketMask;
    std::optional<uint32_t> wbBracketMask;
    std::optional<uint32_t> colorBracketMask;
    // Bit 0x02 of byte 4 of CanSetInfo4; nullopt without CanSetInfo4.
    std::optional<bool> liveViewOffered;
};

struct SpecialButtons {
    bool autoBracket = false;
    bool wbBracket = false;
    bool colorBracket = false;
    bool abSetting = false;  // button 205: any of the three
    bool liveView = false;   // button 206
    bool operator==(const SpecialButtons&) const = default;
};

SpecialButtons EvaluateSpecialButtons(const SpecialInputs& in);

// ---- readout texts and glyphs ----

// Remaining shots as the four count cells show them: "----" without a card,
// " Err" for a card error, "FULL" at 0, else "%4d" capped at 9999.
std::string RemainingShotsText(uint16_t count, uint8_t cardState);

// "Ab-%1d": the frames still to take of a bracketing series of 3 (shots class
// 1) or 5 (class 2) shots. The digit never goes below 0 or above 9.
std::string BracketingText(uint8_t shotsClass, uint8_t frameCounter);

// Battery code to icon glyph (strip of readout 1 cell 13) and its marks.
int BatteryIcon(int code);
bool BatteryLow(int code);
bool BatteryNoPower(int code);

struct AdditionalBatteryCells {
    bool visible = false;  // cells 14-16 all off when false
    int first = 0;         // icons of cells 15 and 16, capped at 6
    int second = 0;
};
AdditionalBatteryCells AdditionalBatteries(int firstCode, int secondCode);

enum class BatteryVerdict {
    Normal,
    ControlsOff,  // every battery without power: connected state off
    EndProgram,   // main low, each additional low or without power
};
BatteryVerdict JudgeBatteries(int mainCode, int firstCode, int secondCode);

// Aperture cells 10-12 of readout 1: two characters and the decimal point glyph
// (0 lit, 1 off). fNumberTenths is the list value (f-number x 10).
struct ApertureCells {
    char first = ' ';
    char second = ' ';
    int point = 1;
    bool operator==(const ApertureCells&) const = default;
};
ApertureCells ApertureReadout(bool connected, bool lensReported, int fNumberTenths);

// Exposure level readout (readout 2).
struct ExposureInputs {
    int valueTenths = 0;  // the value of the exposure-value list entry
    uint8_t exposureMode = 0;
    bool shutterIsBulb = false;
    uint8_t driveMode = 0;
    uint8_t bracketFrameCounter = 0;
};
struct ExposureCells {
    int sign = 0;       // cell 1: 0 off, 1 minus, 2 plus
    char first = ' ';   // cell 2
    int point = 0;      // cell 3: 0 lit, 1 off
    char second = ' ';  // cell 4
    int mark = 0;       // cell 0: 6 when shown, else 0
    bool operator==(const ExposureCells&) const = default;
};
ExposureCells ExposureReadout(const ExposureInputs& in);

// Interval timer cells of readout 6.
struct IntervalCells {
    std::string timer;            // cells 9-12, "%02d%02d" or blank
    std::string count;            // cells 15-18, "%02d%02d" or blank
    int colon = 0;                // cell 13
    int countMark = 0;            // cell 14
    int separator = 0;            // cell 19
    bool noCountVisible = false;  // cell 20 shown (lit) only while the count is blank
    bool operator==(const IntervalCells&) const = default;
};
IntervalCells IntervalReadout(bool on, uint16_t runningSeconds, uint8_t runningCount,
                              uint8_t configuredCount);

// Bracketing progress (readout 6 cell 7), states 0-8.
int BracketProgress(bool amountSet, uint8_t shotsClass, uint8_t frameCounter);

// Metering marks (readout 4 cells 0-2).
std::array<int, 3> MeteringGlyphs(uint8_t meteringCode);
// Exposure mode marks (readout 5 cells 0-3) from the low four bits of the mode.
std::array<int, 4> ExposureModeGlyphs(uint8_t modeCode);
// Custom-mode cells 4-9 of readout 5 from bits 0x10/0x20/0x40 and the mark 0x80.
std::array<int, 6> CustomModeGlyphs(uint8_t modeCode);

// Battery code of the main battery to the icon shown on a timer tick: code 7
// blinks between its icon and 0.
int BlinkingBatteryIcon(int code, bool blinkPhase);

// ---- status override ----

inline constexpr int kOverrideNone = 0;
inline constexpr int kOverrideCardFull = 10;
inline constexpr int kOverrideNoFocus = 11;
inline constexpr int kOverrideAfFailed = 12;
// Ticks of the 300 ms timer after which "Autofocus cannot set" clears itself.
inline constexpr int kAfFailedTicks = 16;

// Card full (10) follows the remaining shots and card state; returns the
// override to keep. Another override is left as it is.
int CardFullOverride(int current, uint16_t remainingShots, uint8_t cardState);
// "Take a picture without focusing" (11) follows AF mode 2, set only while
// no other override shows and the camera can be set (connected, or drive
// mode 6).
int AfModeOverride(int current, uint8_t afMode, bool settable);

// ---- menus re-evaluated by the timer ----

struct MenuInputs {
    uint8_t driveMode = 0;
    bool connected = false;
    int cameraState = 0;
    int pendingPictures = 0;
    uint8_t whiteBalance = 0;  // DataGroup2 white balance code
    int settableVersion = 0;   // newest settable-info record received (0 none)
    uint32_t whiteBalanceMask = 0;
    bool dataGroup4Seen = false;
    bool qmd = false;
};
struct MenuStates {
    bool customWb = false;     // "Set Custom WB 1..3"
    bool dateSetting = false;  // "Date Setting "
    bool isoFunction = false;  // "ISO Sensitivity Function Setting"
    bool operator==(const MenuStates&) const = default;
};
MenuStates EvaluateMenus(const MenuInputs& in);

// ---- accordion ----

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};
struct AccordionLayout {
    std::array<Rect, 6> headers;
    Rect panel;
};
// Places six headers of `headerHeight` and the open panel k inside `frame`.
AccordionLayout LayOutAccordion(const Rect& frame, int headerHeight, int openPanel);

}  // namespace kvx::ui::rules
