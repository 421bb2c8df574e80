#include "cli/setting_catalog.h"

#include <gtest/gtest.h>

#include "model/record_layout.h"

using kvx::cli::CSettingCatalog;

namespace {

TEST(SettingCatalog, EveryChangeableSettingAddressesOneFieldOfItsGroup) {
    for (const auto& def : CSettingCatalog::Settings()) {
        uint8_t f1 = 0, f2 = 0;
        ASSERT_TRUE(CSettingCatalog::FieldBits(def, f1, f2)) << def.name;
        EXPECT_EQ(__builtin_popcount(f1) + __builtin_popcount(f2), 1) << def.name;
        EXPECT_EQ(CSettingCatalog::Find(def.name), &def);
    }
    EXPECT_EQ(CSettingCatalog::Find("QUALITY"), CSettingCatalog::Find("quality"));
    EXPECT_EQ(CSettingCatalog::Find("nonsense"), nullptr);
}

// The command a `set` sends comes from the model's address of the setting;
// that address must name the very field `info` reads and `set` waits for.
TEST(SettingCatalog, TheModelsAddressNamesTheFieldTheCatalogReads) {
    for (const auto& def : CSettingCatalog::Settings()) {
        uint8_t f1 = 0, f2 = 0;
        ASSERT_TRUE(CSettingCatalog::FieldBits(def, f1, f2)) << def.name;
        const int bit = f1 ? __builtin_ctz(f1) : 8 + __builtin_ctz(f2);
        const auto* field = VARNO::DataGroupField(def.group, bit);
        ASSERT_NE(field, nullptr) << def.name;
        EXPECT_EQ(field->offset, def.offset) << def.name;
        tag_CAM_COMMAND c = CSettingCatalog::Command(def, 7);
        EXPECT_EQ(c.command, SetCommandOfGroup(def.group)) << def.name;
        EXPECT_EQ(c.payload.setting.Field1, f1) << def.name;
        EXPECT_EQ(c.payload.setting.Field2, f2) << def.name;
        EXPECT_EQ(c.payload.setting.value, 7) << def.name;
    }
}

TEST(SettingCatalog, ValueTextsAreMatchedLikeAPersonTypesThem) {
    VARNO::CCamera camera;
    const auto* mode = CSettingCatalog::Find("mode");
    const auto* quality = CSettingCatalog::Find("quality");
    const auto* toning = CSettingCatalog::Find("toning");
    ASSERT_TRUE(mode && quality && toning);
    struct Case {
        const kvx::cli::SettingDef* def;
        const char* text;
        std::optional<uint8_t> code;
    } cases[] = {
        {quality, "RAW+JPEG", 3},
        {quality, "  raw+jpeg ", 3},
        {quality, "RAW", 1},
        {quality, "RAW+", std::nullopt},
        {quality, "---", std::nullopt},  // the placeholder is never a value
        {quality, "", std::nullopt},
        {mode, "M", 4},
        {mode, "m - manual exposure", 4},
        {toning, "B&W", 1},  // the menu escape "&&" of the table text is not typed
    };
    for (const auto& c : cases) {
        auto got = CSettingCatalog::ParseValue(camera, *c.def, c.text);
        EXPECT_EQ(got, c.code) << c.def->name << " \"" << c.text << "\"";
    }
    EXPECT_EQ(CSettingCatalog::DisplayText(camera, *quality, 3), "RAW+JPEG");
    EXPECT_EQ(CSettingCatalog::DisplayText(camera, *quality, 200), "code 200");
    EXPECT_EQ(CSettingCatalog::CleanText(" B&&W "), "B&W");
}

}  // namespace
