// The settings the program keeps between runs: one member per key of the
// per-user settings file, with the defaults that apply when a key is missing.
// Read once at start-up; written back only when the preferences are
// confirmed and when the main window has closed.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::engine {

struct DisplaySettings {
    int32_t useSystemFont = 0;
    int32_t dpi96 = 0;
    int32_t dpi120 = 0;
    int32_t dpi150 = 0;
    int32_t baseFontSize = 7;
    int32_t statusFont96 = 0;
    int32_t statusFont120 = 0;
    int32_t statusFont150 = 0;
};

struct LiveWindowSettings {
    int32_t left = 300;
    int32_t top = 100;
    int32_t width = 670;
    int32_t height = 460;
    int32_t gridLines = 2;
    int32_t gridPattern = 0;
    int32_t focusSelect = 1;
    int32_t useMask = 0;
    int32_t rotateAngle = 0;
};

class AppSettings {
public:
    // Longest strings kept, in characters (code points), as the reading
    // buffers of 256 and 128 characters hold them.
    static constexpr size_t kPathChars = 255;
    static constexpr size_t kNameChars = 127;

    // "<local app data>/VARNO/Varno_Kolvex/Varno_Kolvex.ini", creating the two
    // folders when missing (errors ignored). When no per-user data folder can
    // be had, the file beside the executable.
    static std::string DefaultFilePath();
    // The display section for a language abbreviation: "Default" when empty.
    static std::string DisplaySectionName(const std::string& languageAbbrev);
    // 8 for the East Asian abbreviations, else 7.
    static int32_t BuiltInBaseFontSize(const std::string& languageAbbrev);

    // Reads every key of the file at path. A missing or unreadable file gives
    // the defaults. Never throws on hostile content.
    void Read(const std::string& path, const std::string& languageAbbrev = "");
    // The keys written when the preferences are confirmed, in their order.
    bool WritePreferences(const std::string& path) const;
    // The window and live view keys written after the main window has closed.
    bool WriteExit(const std::string& path) const;

    // Hands the "Debug_1.2" "LogLevel" value to the program's log writer.
    void ApplyLogThreshold() const;

    // Storage destination sent to the camera: 1 card, 2 computer, 3 both.
    int32_t StorageDestination() const { return (inCamera ? 1 : 0) + (inPC ? 2 : 0); }

    std::string languageAbbrev;
    DisplaySettings display;

    int32_t reviewType = 0;
    std::string reviewSoft;

    int32_t inCamera = 1;
    int32_t inPC = 0;
    std::string path;
    int32_t rename = 0;
    std::string prefix = "IMG";
    std::string startNum = "10001";
    std::string columns = "5";

    int32_t logLevel = 0;
    int32_t regist = 0;

    int32_t windowLeft = 100;
    int32_t windowTop = 100;
    LiveWindowSettings live;
};

// At most maxChars code points of text, never cutting a multi-byte sequence,
// and only up to the first line break (a value never spans lines of the file).
std::string CutSettingText(const std::string& text, size_t maxChars);

}  // namespace kvx::engine
