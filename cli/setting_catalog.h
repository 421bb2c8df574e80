// The camera settings kvx-tether shows and changes, by the names a script
// uses ("shutter", "quality", ...): where each lives in the data groups, how
// its code reads as text, and which texts the camera offers now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/cam_command.h"
#include "model/camera.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"

namespace kvx::cli {

enum class SettingKind { Table, Shutter, Aperture, Iso, ExposureComp, PictureParameter };

struct SettingDef {
    const char* name;        // command-line name
    const char* label;       // shown by `info`
    VARNO::Setting setting;  // the model's setting: its address and its command
    int group;               // data group 1..6
    size_t offset;           // full offset of its byte in the group's record
    SettingKind kind;
    VARNO::ValueTable table = VARNO::ValueTable::Count;  // kind Table
    std::optional<VARNO::SettableField> mask;            // kind Table: the settable mask
};

struct SettingChoice {
    std::string text;
    uint8_t code;
};

class CSettingCatalog {
public:
    static const std::vector<SettingDef>& Settings();
    static const SettingDef* Find(const std::string& name);

    // The Field1/Field2 bits of the model's address of the setting; false
    // when the setting cannot be changed.
    static bool FieldBits(const SettingDef& def, uint8_t& field1, uint8_t& field2);
    // The command that sets it to code.
    static tag_CAM_COMMAND Command(const SettingDef& def, uint8_t code);

    // The current code and its display text, from the camera's current records.
    static uint8_t CurrentCode(const VARNO::CCamera& camera, const SettingDef& def);
    static std::string DisplayText(const VARNO::CCamera& camera, const SettingDef& def,
                                   uint8_t code);

    // Every value a user may ask for, in display order ("---" left out);
    // table settings are filtered by the camera's settable mask.
    static std::vector<SettingChoice> Choices(const VARNO::CCamera& camera, const SettingDef& def);
    // The code of a value text: the display text ignoring case, blanks around
    // it and the menu-escape "&&", or the short name before " - " ("P" for
    // "P - Program AE"). nullopt when the camera does not offer it.
    static std::optional<uint8_t> ParseValue(const VARNO::CCamera& camera, const SettingDef& def,
                                             const std::string& text);

    // A display text cleaned for a terminal: "&&" as "&", no blanks around.
    static std::string CleanText(const std::string& text);
};

}  // namespace kvx::cli
