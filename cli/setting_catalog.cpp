#include "cli/setting_catalog.h"

#include <cctype>

#include "model/display_text.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"

namespace kvx::cli {

namespace {

using VARNO::Setting;
using VARNO::SettableField;
using VARNO::ValueTable;
namespace dg1 = VARNO::dg1;
namespace dg2 = VARNO::dg2;
namespace dg3 = VARNO::dg3;
namespace dg4 = VARNO::dg4;
namespace dg5 = VARNO::dg5;

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The number a value text stands for: an optional "f" (aperture), a sign,
// digits with at most one point, an optional "ev"; nullopt for anything
// else. Compared in tenths, as the camera's texts have one decimal.
std::optional<long> NumberOf(std::string t) {
    if (!t.empty() && t[0] == 'f') t.erase(0, 1);
    if (t.size() > 2 && t.compare(t.size() - 2, 2, "ev") == 0) t.resize(t.size() - 2);
    if (t.empty() || t.size() > 12) return std::nullopt;
    bool negative = false;
    size_t i = 0;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    long whole = 0, tenths = 0;
    bool digits = false, point = false;
    int decimals = 0;
    for (; i < t.size(); ++i) {
        char ch = t[i];
        if (ch == '.' && !point) {
            point = true;
        } else if (ch >= '0' && ch <= '9') {
            digits = true;
            if (!point) {
                whole = whole * 10 + (ch - '0');
            } else if (++decimals == 1) {
                tenths = ch - '0';
            } else if (ch != '0') {
                return std::nullopt;  // finer than the camera's texts
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    long v = whole * 10 + tenths;
    return negative ? -v : v;
}

template <typename List>
std::vector<SettingChoice> ListChoices(const List& list) {
    std::vector<SettingChoice> out;
    for (const auto& e : list)
        if (e && !e->text.empty()) out.push_back({e->text, static_cast<uint8_t>(e->code)});
    return out;
}

}  // namespace

const std::vector<SettingDef>& CSettingCatalog::Settings() {
    static const std::vector<SettingDef> defs = {
        {"mode", "Exposure mode", Setting::ExposureMode, 2, dg2::kExposureMode, SettingKind::Table, ValueTable::ExposureMode,
         SettableField::ExposureModeMask},
        {"shutter", "Shutter speed", Setting::ShutterSpeed, 1, dg1::kShutter, SettingKind::Shutter, ValueTable::Count, std::nullopt},
        {"aperture", "Aperture", Setting::Aperture, 1, dg1::kAperture, SettingKind::Aperture, ValueTable::Count, std::nullopt},
        {"iso", "ISO", Setting::Iso, 1, dg1::kIso, SettingKind::Iso, ValueTable::Count, std::nullopt},
        {"exposure", "Exposure compensation", Setting::ExposureComp, 1, dg1::kExposureComp, SettingKind::ExposureComp, ValueTable::Count, std::nullopt},
        {"metering", "Metering", Setting::Metering, 2, dg2::kMetering, SettingKind::Table, ValueTable::Metering,
         SettableField::MeteringMask},
        {"af", "AF mode", Setting::AfMode, 2, dg2::kAfMode, SettingKind::Table, ValueTable::AfMode,
         SettableField::AfModeMask},
        {"drive", "Drive mode", Setting::DriveMode, 2, dg2::kDriveMode, SettingKind::Table, ValueTable::DriveMode,
         SettableField::DriveModeMask},
        {"wb", "White balance", Setting::WhiteBalance, 2, dg2::kWhiteBalance, SettingKind::Table, ValueTable::WhiteBalance,
         SettableField::WhiteBalanceMask},
        {"quality", "Image quality", Setting::ImageQuality, 2, dg2::kImageQuality, SettingKind::Table,
         ValueTable::ImageQuality, SettableField::ImageQualityMask},
        {"size", "Image size", Setting::ImageSize, 2, dg2::kImageSize, SettingKind::Table, ValueTable::ImageSize,
         SettableField::ImageSizeMask},
        {"colorspace", "Color space", Setting::ColorSpace, 3, dg3::kColorSpace, SettingKind::Table, ValueTable::ColorSpace,
         SettableField::ColorSpaceMask},
        {"colormode", "Color mode", Setting::ColorMode, 3, dg3::kColorMode, SettingKind::Table, ValueTable::ColorMode,
         SettableField::ColorModeMask},
        {"contrast", "Contrast", Setting::Contrast, 3, dg3::kContrast, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"sharpness", "Sharpness", Setting::Sharpness, 3, dg3::kSharpness, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"saturation", "Saturation", Setting::Saturation, 3, dg3::kSaturation, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"dccrop", "DC crop", Setting::DcCrop, 4, dg4::kDcCrop, SettingKind::Table, ValueTable::DcCrop,
         SettableField::DcCropMask},
        {"aspect", "Aspect ratio", Setting::AspectRatio, 5, dg5::kAspectRatio, SettingKind::Table, ValueTable::AspectRatio,
         SettableField::AspectRatioMask},
        {"tone", "Tone control", Setting::ToneControl, 5, dg5::kToneControl, SettingKind::Table, ValueTable::ToneControl, std::nullopt},
        {"filter", "Filter effect", Setting::FilterEffect, 5, dg5::kFilterEffect, SettingKind::Table,
         ValueTable::FilterEffect, std::nullopt},
        {"toning", "Toning effect", Setting::ToningEffect, 5, dg5::kToningEffect, SettingKind::Table,
         ValueTable::ToningEffect, std::nullopt},
    };
    return defs;
}

const SettingDef* CSettingCatalog::Find(const std::string& name) {
    std::string n = Lower(name);
    for (const auto& d : Settings())
        if (n == d.name) return &d;
    return nullptr;
}

bool CSettingCatalog::FieldBits(const SettingDef& def, uint8_t& field1, uint8_t& field2) {
    // The address is the model's, the one every command is built from; a
    // setting the model places in another group than the one read here
    // could not be confirmed, so it does not count as changeable.
    const VARNO::SettingAddress a = VARNO::AddressOf(def.setting);
    if (a.group != def.group || (a.field1 == 0 && a.field2 == 0)) return false;
    field1 = a.field1;
    field2 = a.field2;
    return true;
}

tag_CAM_COMMAND CSettingCatalog::Command(const SettingDef& def, uint8_t code) {
    return VARNO::MakeSettingCommand(def.setting, code);
}

uint8_t CSettingCatalog::CurrentCode(const VARNO::CCamera& camera, const SettingDef& def) {
    return camera.DataGroupByte(def.group, def.offset);
}

std::string CSettingCatalog::CleanText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
        out += text[i];
    }
    size_t b = out.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    size_t e = out.find_last_not_of(' ');
    return out.substr(b, e - b + 1);
}

std::string CSettingCatalog::DisplayText(const VARNO::CCamera& camera, const SettingDef& def,
                                         uint8_t code) {
    switch (def.kind) {
        case SettingKind::Table: {
            uint8_t lookup = def.table == ValueTable::WhiteBalance
                                 ? VARNO::WhiteBalanceDisplayCode(code)
                                 : code;
            const auto* item = VARNO::FindValueByCode(def.table, lookup);
            return item ? CleanText(VARNO::ValueText(*item)) : "code " + std::to_string(code);
        }
        case SettingKind::Shutter: {
            const auto* e = camera.ShutterEntry(VARNO::ShutterLookupCode(code));
            return e ? e->text : "code " + std::to_string(code);
        }
        case SettingKind::Aperture: {
            const auto* e = camera.ApertureEntry(code);
            return e ? e->text : "code " + std::to_string(code);
        }
        case SettingKind::Iso: {
            const auto* e = camera.IsoEntry(code);
            return e ? e->text : "code " + std::to_string(code);
        }
        case SettingKind::ExposureComp: {
            const auto* e = camera.ExpEntry(code);
            return e ? e->text : "code " + std::to_string(code);
        }
        case SettingKind::PictureParameter:
            return VARNO::FormatPictureParameter(static_cast<int8_t>(code));
            return std::to_string(code);
    }
    return {};
}

std::vector<SettingChoice> CSettingCatalog::Choices(const VARNO::CCamera& camera,
                                                    const SettingDef& def) {
    switch (def.kind) {
        case SettingKind::Table: {
            std::vector<SettingChoice> out;
            uint32_t mask = 0xFFFFFFFFu;
            if (def.mask) {
                if (auto m = camera.Settable(*def.mask)) mask = *m;
            }
            auto placeholder = VARNO::PlaceholderCode(def.table);
            for (const auto& item : VARNO::GetValueTable(def.table)) {
                if (placeholder && item.code == *placeholder &&
                    CleanText(VARNO::ValueText(item)) == "---")
                    continue;
                if (def.mask && !VARNO::IsOffered(item, mask)) continue;
                out.push_back({CleanText(VARNO::ValueText(item)), item.code});
            }
            return out;
        }
        case SettingKind::Shutter:
            return ListChoices(camera.ShutterList());
        case SettingKind::Aperture:
            return ListChoices(camera.ApertureList());
        case SettingKind::Iso:
            return ListChoices(camera.IsoList());
        case SettingKind::ExposureComp:
            return ListChoices(camera.ExpList());
        case SettingKind::PictureParameter: {
            std::vector<SettingChoice> out;
            for (int t = -10; t <= 10; ++t)
                out.push_back({VARNO::FormatPictureParameter(static_cast<int8_t>(t)),
                               static_cast<uint8_t>(static_cast<int8_t>(t))});
            return out;
        }
            return {};
    }
    return {};
}

std::optional<uint8_t> CSettingCatalog::ParseValue(const VARNO::CCamera& camera,
                                                   const SettingDef& def, const std::string& text) {
    std::string want = Lower(CleanText(text));
    if (want.empty()) return std::nullopt;
    auto choices = Choices(camera, def);
    for (const auto& c : choices)
        if (Lower(c.text) == want) return c.code;
    for (const auto& c : choices) {
        auto dash = c.text.find(" - ");
        if (dash != std::string::npos && Lower(c.text.substr(0, dash)) == want) return c.code;
    }
    // A number stands for the value of that number: "8" for "F8.0", "+1"
    // or "1" for "+1.0", "400" for "400". Fractions ("1/125") are matched
    // as text above, never as numbers.
    if (auto number = NumberOf(want)) {
        for (const auto& c : choices)
            if (auto offered = NumberOf(Lower(c.text)); offered && *offered == *number)
                return c.code;
    }
    return std::nullopt;
}

}  // namespace kvx::cli
