#include "engine/app_settings.h"

#include <sys/stat.h>

#include <array>

#include "log/write_log.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace kvx::engine {

namespace {

constexpr const char* kFileName = "Varno_Kolvex.ini";

int32_t ReadKeepBuiltIn(const IniFile& ini, const std::string& section, const char* key,
                        int32_t builtIn) {
    int32_t v = ini.GetInt(section, key, -1);
    return v == -1 ? builtIn : v;
}

std::string ReadText(const IniFile& ini, const char* section, const char* key,
                     const std::string& fallback, size_t maxChars) {
    // Read generously, then cut by characters so a multi-byte name is never
    // split into invalid text.
    return CutSettingText(ini.GetString(section, key, fallback, maxChars * 4 + 1), maxChars);
}

void WriteText(IniFile& ini, const char* section, const char* key, const std::string& value,
               size_t maxChars) {
    ini.SetString(section, key, CutSettingText(value, maxChars));
}

}  // namespace

std::string CutSettingText(const std::string& text, size_t maxChars) {
    size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) end = text.size();
    size_t i = 0, chars = 0;
    while (i < end && chars < maxChars) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        if (i + len > end) break;  // a sequence cut short at the end: drop it
        i += len;
        ++chars;
    }
    return text.substr(0, i);
}

std::string AppSettings::DefaultFilePath() {
    std::string base = LocalAppDataFolder();
    if (base.empty()) return ExecutableFolder() + kFileName;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    ::mkdir(base.c_str(), 0700);  // ~/.local/share may itself be missing
    std::string dir = base + "/VARNO";
    ::mkdir(dir.c_str(), 0700);
    dir += "/Varno_Kolvex/";
    ::mkdir(dir.c_str(), 0700);
    return dir + kFileName;
}

std::string AppSettings::DisplaySectionName(const std::string& languageAbbrev) {
    return languageAbbrev.empty() ? "Default" : languageAbbrev;
}

int32_t AppSettings::BuiltInBaseFontSize(const std::string& a) {
    static constexpr std::array<const char*, 5> kEastAsian{"JPN", "KOR", "CHS", "CHT", "ZHH"};
    for (const char* e : kEastAsian)
        if (a == e) return 8;
    return 7;
}

void AppSettings::Read(const std::string& file, const std::string& abbrev) {
    IniFile ini(file);
    languageAbbrev = abbrev;
    const std::string disp = DisplaySectionName(abbrev);
    DisplaySettings d;
    d.useSystemFont = ReadKeepBuiltIn(ini, disp, "UseSystemFont", 0);
    d.dpi96 = ini.GetInt(disp, "Dpi96", 0);
    d.dpi120 = ini.GetInt(disp, "Dpi120", 0);
    d.dpi150 = ini.GetInt(disp, "Dpi150", 0);
    d.baseFontSize = ReadKeepBuiltIn(ini, disp, "BaseFontSize", BuiltInBaseFontSize(abbrev));
    d.statusFont96 = ReadKeepBuiltIn(ini, disp, "StatusFont96", 0);
    d.statusFont120 = ReadKeepBuiltIn(ini, disp, "StatusFont120", 0);
    d.statusFont150 = ReadKeepBuiltIn(ini, disp, "StatusFont150", 0);
    display = d;

    reviewType = ini.GetInt("Review_1.2", "ReviewType", 0);
    reviewSoft = ReadText(ini, "Review_1.2", "ReviewSoft", "", kPathChars);
    inCamera = ini.GetInt("Store_1.2", "InCamera", 1);
    inPC = ini.GetInt("Store_1.2", "InPC", 0);
    path = ReadText(ini, "Store_1.2", "Path", "", kPathChars);
    rename = ini.GetInt("Rename_1.2", "Rename", 0);
    prefix = ReadText(ini, "Store_1.2", "Prefix", "IMG", kNameChars);
    startNum = ReadText(ini, "Store_1.2", "StartNum", "10001", kNameChars);
    columns = ReadText(ini, "Store_1.2", "Columns", "5", kNameChars);
    logLevel = ini.GetInt("Debug_1.2", "LogLevel", 0);
    regist = ini.GetInt("Wia_1.2", "Regist", 0);

    windowLeft = ini.GetInt("Window_1.2", "Left", 100);
    windowTop = ini.GetInt("Window_1.2", "Top", 100);
    LiveWindowSettings l;
    l.left = ini.GetInt("Live_Window_1.2", "Left", 300);
    l.top = ini.GetInt("Live_Window_1.2", "Top", 100);
    l.width = ini.GetInt("Live_Window_1.2", "Width", 670);
    l.height = ini.GetInt("Live_Window_1.2", "Height", 460);
    l.gridLines = ini.GetInt("Live_Window_1.2", "GridLines", 2);
    l.gridPattern = ini.GetInt("Live_Window_1.2", "GridPattern", 0);
    l.focusSelect = ini.GetInt("Live_Window_1.2", "FocusSelect", 1);
    l.useMask = ini.GetInt("Live_Window_1.2", "UseMask", 0);
    l.rotateAngle = ini.GetInt("Live_Window_1.2", "RotateAngle", 0);
    live = l;
}

bool AppSettings::WritePreferences(const std::string& file) const {
    // Load what is there so that keys of other sections survive the write.
    IniFile ini(file);
    ini.SetInt("Review_1.2", "ReviewType", reviewType);
    WriteText(ini, "Review_1.2", "ReviewSoft", reviewSoft, kPathChars);
    ini.SetInt("Store_1.2", "InCamera", inCamera);
    ini.SetInt("Store_1.2", "InPC", inPC);
    WriteText(ini, "Store_1.2", "Path", path, kPathChars);
    ini.SetInt("Rename_1.2", "Rename", rename);
    WriteText(ini, "Store_1.2", "Prefix", prefix, kNameChars);
    WriteText(ini, "Store_1.2", "StartNum", startNum, kNameChars);
    WriteText(ini, "Store_1.2", "Columns", columns, kNameChars);
    ini.SetInt("Wia_1.2", "Regist", regist);
    return ini.Save();
}

bool AppSettings::WriteExit(const std::string& file) const {
    IniFile ini(file);
    ini.SetInt("Window_1.2", "Left", windowLeft);
    ini.SetInt("Window_1.2", "Top", windowTop);
    ini.SetInt("Live_Window_1.2", "Left", live.left);
    ini.SetInt("Live_Window_1.2", "Top", live.top);
    ini.SetInt("Live_Window_1.2", "Width", live.width);
    ini.SetInt("Live_Window_1.2", "Height", live.height);
    ini.SetInt("Live_Window_1.2", "GridLines", live.gridLines);
    ini.SetInt("Live_Window_1.2", "GridPattern", live.gridPattern);
    ini.SetInt("Live_Window_1.2", "FocusSelect", live.focusSelect);
    ini.SetInt("Live_Window_1.2", "UseMask", live.useMask);
    ini.SetInt("Live_Window_1.2", "RotateAngle", live.rotateAngle);
    return ini.Save();
}

void AppSettings::ApplyLogThreshold() const { DeliverableLog().SetThreshold(logLevel); }

}  // namespace kvx::engine
