#include "model/string_table.h"

#include <memory>
#include <unordered_map>

namespace VARNO {

namespace {

// Keep ids unique; the table is searched through a map built on first use.
constexpr tag_STRING_ENTRY kStrings[] = {
    {103, "VARNO Kolvex"},
    {104, "Camera"},
    // Accordion headers of the main window
    {10006, "Exposure Setting "},
    {10007, "Camera Setting"},
    {10008, "Image Setting 1"},
    {10009, "Image Setting 2"},
    {10010, "Setup"},
    {10011, "Flash Setting"},
    // Status line and end-of-link notices
    {10101, "Status: Standby"},
    {10104, "Status: Processing..."},
    {10105, "Status: Autofocus cannot set"},
    {10106, "Status: Card Full"},
    {10107, "Status: Take a picture without focusing"},
    {10200,
     "Transferring the images to the computer.\r\nPlease do not turn off the camera until the "
     "process is complete."},
    {10202,
     "The battery level is low. KVX will terminate.\r\nPlease do not turn the camera off until "
     "KVX has terminated."},
    {10203, "This camera is not supported. KVX has termined."},
    {10204, "This camera cannot be connected. \r\nPlease update to the latest version of KVX."},
    // Main window menu: items under their command ids, then the four menu titles
    {40000, "Preferences"},
    {40001, "Exit"},
    {40002, "MF Capture"},
    {40003, "VARNO Kolvex Help"},
    {40004, "About VARNO Kolvex..."},
    {40005, "VARNO on the Web"},
    {40006, "AF Capture"},
    {40007, "AF Drive Only"},
    {40009, "Date Setting "},
    {40010, "Exposure Setting"},
    {40011, "Camera Setting"},
    {40012, "Image Setting 1"},
    {40013, "Image Setting 2"},
    {40014, "Setup"},
    {40015, "Flash Setting"},
    {40016, "ISO Sensitivity Function Setting"},
    {40020, "Set Custom WB 1"},
    {40021, "Set Custom WB 2"},
    {40022, "Set Custom WB 3"},
    {40090, "File"},
    {40091, "Panel"},
    {40092, "Camera"},
    {40093, "Help"},
    // Setting panel labels
    {20000, "Exposure Mode"},
    {20001, "Shutter Speed"},
    {20002, "Aperture Value"},
    {20003, "ISO Sensitivity"},
    {20004, "ISO Auto"},
    {20005, "Exposure Compensation"},
    {20006, "Program Shift"},
    {21000, "Focusing Frame"},
    {21001, "Free move mode"},
    {21002, "AE Metering Mode"},
    {21003, "AF Mode"},
    {21004, "Drive Mode"},
    {21009, "Facial Detection AF"},
    {21010, "Frame Size"},
    {21011, "min."},
    {21012, "sec."},
    {21013, "times"},
    {22000, "Image Size"},
    {22001, "Image Quality"},
    {22002, "White Balance"},
    {22003, "Contrast"},
    {22004, "Sharpness"},
    {22005, "Saturation"},
    {22006, "Color Space"},
    {22007, "Color Mode"},
    {22008, "Color Temperature"},
    {22009, "WB Adjust"},
    {22010, "Aspect Ratio"},
    {22011, "Filter Effect"},
    {22012, "Toning Effect"},
    {22013, "Tone Control"},
    {22014, "DC Crop Mode"},
    {23000, "AF auxiliary Light"},
    {23001, "AF Volume"},
    {23003, "Extended Mode"},
    {23004, "Auto rotate"},
    {23005, "Timer sound"},
    {24000, "Flash Exposure Compensation"},
    {24002, "Slow Sync."},
    {24101, "Red-eye"},
    {24301, "Rear Curtain Sync."},
    {24302, "FP"},
    // Exposure modes
    {20100, "P - Program AE"},
    {20101, "A - Aperture Priority AE"},
    {20102, "S - Shutter Speed Priority AE"},
    {20103, "M - Manual Exposure"},
    {20104, "C1 - Custom Mode 1"},
    {20105, "C2 - Custom Mode 2"},
    {20106, "C3 - Custom Mode 3"},
    // Metering, AF, drive, frame size
    {21100, "Evaluative Metering"},
    {21101, "Average Metering"},
    {21102, "Center Area Metering"},
    {21103, "Spot Metering"},
    {21200, "AF-S - Single Auto Mode"},
    {21201, "AF-C - Continuous Auto Focus Mode"},
    {21202, "MANUAL"},
    {21300, "Single Frame Shooting"},
    {21301, "Continuous Shooting"},
    {21302, "Self-Timer 10s"},
    {21303, "Self-Timer 2s"},
    {21304, "Mirror Lock-up"},
    {21305, "Auto Bracketing"},
    {21306, "Large"},
    {21307, "Regular"},
    {21308, "Spot"},
    {21309, "Interval Timer"},
    // Image size and quality
    {22100, "LOW"},
    {22101, "MED"},
    {22102, "HI"},
    {22104, "S-HI"},
    {22105, "S-LO"},
    {22200, "RAW"},
    {22201, "FINE"},
    {22202, "RAW+JPEG"},
    {22203, "NORMAL"},
    {22204, "BASIC"},
    // White balance
    {22300, "Auto"},
    {22301, "Sunlight"},
    {22302, "Shade"},
    {22303, "Overcast"},
    {22304, "Incandescent"},
    {22305, "Fluorescent"},
    {22306, "Flash"},
    {22309, "Custom 1"},
    {22310, "Custom 2"},
    {22311, "Custom 3"},
    {22312, "Color Temperature"},
    {22313, "Auto(Lighting Source Priority)"},
    // Colour mode ("&&" draws as one ampersand in the selectors)
    {22401, "B&&W"},
    {22402, "Standard"},
    {22403, "Vivid"},
    {22404, "Neutral"},
    {22405, "Portrait"},
    {22406, "Landscape"},
    {22407, "ZEL Classic Blue"},
    {22408, "ZEL Classic Yellow"},
    {22409, "Cinema"},
    {22410, "Sunset Red"},
    {22411, "Forest Green"},
    {22500, "sRGB"},
    {22501, "AdobeRGB"},
    // Aspect ratio, DC crop
    {22600, "21:9"},
    {22601, "16:9"},
    {22602, " 3:2"},
    {22603, " 4:3"},
    {22604, " 7:6"},
    {22605, " 1:1"},
    {22650, "Auto"},
    // Toning, tone control, filter
    {22700, "B&&W"},
    {22701, "Red"},
    {22702, "Warm Tone"},
    {22703, "Sepia"},
    {22704, "Green"},
    {22705, "Blue Green"},
    {22706, "Blue"},
    {22707, "Cold Tone"},
    {22708, "Blue Purple"},
    {22709, "Purple"},
    {22730, "Off"},
    {22731, "Mild"},
    {22732, "Strong"},
    {22750, "Off"},
    {22751, "Yellow"},
    {22752, "Orange"},
    {22753, "Red"},
    {22754, "Green"},
    {22755, "Blue"},
    // Setup and flash
    {23100, "On"},
    {23101, "Off"},
    {23202, "0"},
    {23203, "1"},
    {23204, "2"},
    {23205, "3"},
    {23206, "4"},
    {23207, "5"},
    {23400, "On"},
    {23401, "Off"},
    {23500, "On"},
    {23501, "Off"},
    {23600, "On"},
    {23601, "Off"},
    // Special capture settings, custom white balance, ISO function and date dialogs
    {25000, "Special Capture Setting"},
    {25001, "Auto Bracket Setting / QMD Mode"},
    {25002, "White Balance BKT"},
    {25003, "Color Mode BKT"},
    {25100, "Activate"},
    {25102, "White Balance"},
    {25103, "Bracketing Axis"},
    {30003, "OK"},
    {30004, "Cancel"},
    {31000, "Bracketing Amount"},
    {31001, "Bracketing Order"},
    {31002, "Bracketing Number"},
    {31004, "Auto Bracket Setting"},
    {31005, "QMD Mode"},
    {31006, "Activate"},
    {31301, "BKT1"},
    {31302, "BKT2"},
    {31303, "BKT3"},
    {31304, "BKT4"},
    {31305, "BKT5"},
    {31306, "Filtering Effect"},
    {31307, "Toning Effect"},
    {31500, "Capture Custom WB"},
    {31501, "Capture a custom white balance image."},
    {32000, "Date/Time Setting"},
    {32001, "Synchronize Date/Time of Camera with Time of PC."},
    {34000, "Capture Custom WB"},
    {34001, "White balance image captured successfully."},
    {34002, "White balance image capture failed!"},
    {35000, "ISO Sensitivity Function Setting"},
    {35001, "ISO Auto Range"},
    {35002, "Upper limit"},
    {35003, "Lower limit"},
    {35004, "ISO Sensitivity Step Setting"},
    {35005, "1 Step"},
    {35006, "1/3 Step"},
    // Bracketing
    {31110, "3 Shots"},
    {31111, "5 Shots"},
    {31120, "0 -> - -> +"},
    {31121, "- -> 0 -> +"},
    {31122, "+ -> 0 -> -"},
    {31201, "M <--> G"},
    {31202, "B <--> A"},
    {33001, "---"},
    // Live view grid
    {36000, "4"},
    {36001, "9"},
    {36002, "16"},
    {36003, "36"},
    {36004, "64"},
};

const std::unordered_map<uint32_t, const char*>& Map() {
    static const std::unordered_map<uint32_t, const char*> map = [] {
        std::unordered_map<uint32_t, const char*> m;
        for (const tag_STRING_ENTRY& e : kStrings) m.emplace(e.id, e.text);
        return m;
    }();
    return map;
}

// Texts of the language file in use. The previous set is kept alive, not
// freed, so that a text pointer handed out just before a replacement does
// not dangle; replacements happen once per run.
std::vector<std::unique_ptr<const std::unordered_map<uint32_t, std::string>>>& Replacements() {
    static std::vector<std::unique_ptr<const std::unordered_map<uint32_t, std::string>>> sets;
    return sets;
}
const std::unordered_map<uint32_t, std::string>* g_active = nullptr;

}  // namespace

const char* StringText(uint32_t id) {
    if (g_active) {
        auto it = g_active->find(id);
        if (it != g_active->end()) return it->second.c_str();
    }
    const auto& map = Map();
    auto it = map.find(id);
    return it == map.end() ? "" : it->second;
}

void ReplaceStrings(const std::vector<std::pair<uint32_t, std::string>>& texts) {
    auto set = std::make_unique<std::unordered_map<uint32_t, std::string>>();
    const auto& builtIn = Map();
    for (const auto& [id, text] : texts)
        if (builtIn.count(id) != 0) (*set)[id] = text;
    g_active = set.get();
    Replacements().push_back(std::move(set));
}

void RestoreBuiltInStrings() {
    g_active = nullptr;
}

bool HasString(uint32_t id) {
    return Map().count(id) != 0;
}

std::span<const tag_STRING_ENTRY> StringTable() {
    return kStrings;
}

}  // namespace VARNO
