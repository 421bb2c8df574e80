#include "cli/setting_catalog.h"

#include <cctype>

#include "model/display_text.h"
#include "model/record_layout.h"

namespace kvx::cli {

namespace {

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
        {"mode", "Exposure mode", 2, dg2::kExposureMode, SettingKind::Table, ValueTable::ExposureMode,
         SettableField::ExposureModeMask},
        {"shutter", "Shutter speed", 1, dg1::kShutter, SettingKind::Shutter, ValueTable::Count, std::nullopt},
        {"aperture", "Aperture", 1, dg1::kAperture, SettingKind::Aperture, ValueTable::Count, std::nullopt},
        {"iso", "ISO", 1, dg1::kIso, SettingKind::Iso, ValueTable::Count, std::nullopt},
        {"exposure", "Exposure compensation", 1, dg1::kExposureComp, SettingKind::ExposureComp, ValueTable::Count, std::nullopt},
        {"metering", "Metering", 2, dg2::kMetering, SettingKind::Table, ValueTable::Metering,
         SettableField::MeteringMask},
        {"af", "AF mode", 2, dg2::kAfMode, SettingKind::Table, ValueTable::AfMode,
         SettableField::AfModeMask},
        {"drive", "Drive mode", 2, dg2::kDriveMode, SettingKind::Table, ValueTable::DriveMode,
         SettableField::DriveModeMask},
        {"wb", "White balance", 2, dg2::kWhiteBalance, SettingKind::Table, ValueTable::WhiteBalance,
         SettableField::WhiteBalanceMask},
        {"quality", "Image quality", 2, dg2::kImageQuality, SettingKind::Table,
         ValueTable::ImageQuality, SettableField::ImageQualityMask},
        {"size", "Image size", 2, dg2::kImageSize, SettingKind::Table, ValueTable::ImageSize,
         SettableField::ImageSizeMask},
        {"colorspace", "Color space", 3, dg3::kColorSpace, SettingKind::Table, ValueTable::ColorSpace,
         SettableField::ColorSpaceMask},
        {"colormode", "Color mode", 3, dg3::kColorMode, SettingKind::Table, ValueTable::ColorMode,
         SettableField::ColorModeMask},
        {"contrast", "Contrast", 3, dg3::kContrast, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"sharpness", "Sharpness", 3, dg3::kSharpness, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"saturation", "Saturation", 3, dg3::kSaturation, SettingKind::PictureParameter, ValueTable::Count, std::nullopt},
        {"dccrop", "DC crop", 4, dg4::kDcCrop, SettingKind::Table, ValueTable::DcCrop,
         SettableField::DcCropMask},
        {"aspect", "Aspect ratio", 5, dg5::kAspectRatio, SettingKind::Table, ValueTable::AspectRatio,
         SettableField::AspectRatioMask},
        {"tone", "Tone control", 5, dg5::kToneControl, SettingKind::Table, ValueTable::ToneControl, std::nullopt},
        {"filter", "Filter effect", 5, dg5::kFilterEffect, SettingKind::Table,
         ValueTable::FilterEffect, std::nullopt},
        {"toning", "Toning effect", 5, dg5::kToningEffect, SettingKind::Table,
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
    for (int i = 0; i < 16; ++i) {
        const auto* f = VARNO::DataGroupField(def.group, i);
        if (!f || f->width == 0 || f->offset != def.offset) continue;
        field1 = i < 8 ? static_cast<uint8_t>(1u << i) : 0;
        field2 = i < 8 ? 0 : static_cast<uint8_t>(1u << (i - 8));
        return true;
    }
    return false;
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
    return std::nullopt;
}

}  // namespace kvx::cli
