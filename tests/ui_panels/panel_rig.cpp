#include "panel_rig.h"

#include "model/record_layout.h"
#include "vcam/virtual_camera.h"

namespace kvx::test {

using VARNO::SettableField;

PanelSet::PanelSet(VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : exposure(std::make_unique<CDialogExposure>(nullptr, camera, sink)),
      cameraPanel(std::make_unique<CDialogCamera>(nullptr, camera, sink)),
      image1(std::make_unique<CDialogImage1>(nullptr, camera, sink)),
      image2(std::make_unique<CDialogImage2>(nullptr, camera, sink)),
      setup(std::make_unique<CDialogSetup>(nullptr, camera, sink)),
      flash(std::make_unique<CDialogFlash>(nullptr, camera, sink)) {}

void PanelSet::RegisterWith(VARNO::CSettingDispatcher& dispatcher) {
    for (CDialogPanel* p : Panels()) p->RegisterWith(dispatcher);
}

std::vector<CDialogPanel*> PanelSet::Panels() const {
    return {exposure.get(), cameraPanel.get(), image1.get(),
            image2.get(),   setup.get(),       flash.get()};
}

void PanelSet::EnableAll(bool on) {
    for (CDialogPanel* p : Panels()) p->EnablePanel(on);
}

PanelRig::PanelRig() : PanelSet(camera, sink) {
    PanelSet::RegisterWith(dispatcher);
}

PanelRig::~PanelRig() {
    dispatcher.SetExposurePanel(nullptr);
    dispatcher.SetCameraPanel(nullptr);
    dispatcher.SetImagePanel1(nullptr);
    dispatcher.SetImagePanel2(nullptr);
    dispatcher.SetWbAdjustGrid(nullptr);
    dispatcher.SetSetupPanel(nullptr);
    dispatcher.SetFlashPanel(nullptr);
}

void PanelRig::FeedDataGroup(int group, const std::vector<uint8_t>& record) {
    camera.StoreReceivedDataGroup(group, record.data(), record.size());
    dispatcher.OnUpdateDataGroup(group);
}

void PanelRig::FeedCanSetInfo(int version, const std::vector<uint8_t>& record) {
    camera.StoreReceivedCanSetInfo(version, record.data(), record.size());
    dispatcher.OnUpdateCanSetInfo(version);
}

void PanelRig::FeedField(int group, uint8_t field1, uint8_t field2,
                         const std::vector<uint8_t>& bytes) {
    // A received record is packed: length, Field1, Field2, then only the
    // fields present, then the check byte.
    std::vector<uint8_t> record = {0, field1, field2};
    record.insert(record.end(), bytes.begin(), bytes.end());
    record.push_back(0);
    record[0] = static_cast<uint8_t>(record.size());
    FeedDataGroup(group, record);
}

std::vector<uint8_t> PanelRig::CanSetRecord(int version, const std::vector<Settable>& fields) {
    std::vector<uint8_t> r(VARNO::kCanSetInfoSize[version], 0);
    r[0] = static_cast<uint8_t>(r.size() & 0xFF);
    r[1] = static_cast<uint8_t>(r.size() >> 8);
    for (const Settable& s : fields) {
        const VARNO::tag_SETTABLE_LAYOUT* l = VARNO::SettableFieldLayout(version, s.field);
        if (!l || l->offset == 0) continue;
        uint32_t v = s.value;
        if (l->bits != 0xFFFF) v = (l->bits & v) ? l->bits : 0;  // a flag field: its bit
        r[l->offset] = static_cast<uint8_t>(v & 0xFF);
        if (l->width == 2) r[l->offset + 1] = static_cast<uint8_t>(v >> 8);
    }
    return r;
}

std::vector<uint8_t> PanelRig::RealisticCanSetInfo3() {
    return CanSetRecord(3, {
                               {SettableField::DriveModeMask, 0x5F},  // no auto bracketing here
                               {SettableField::ExposureModeMask, 0x7F},
                               {SettableField::MeteringMask, 0x8B},  // no centre area
                               {SettableField::AfModeMask, 0x87},
                               {SettableField::ImageSizeMask, 0x0F},  // no S-LO
                               {SettableField::ImageQualityMask, 0x1F},
                               {SettableField::ShutterUpper, 160},
                               {SettableField::ShutterLower, 16},
                               {SettableField::ExposureFlags, 0x11},
                               {SettableField::ApertureLower, 29},
                               {SettableField::ApertureUpper, 88},
                               {SettableField::ProgramShift, 1},
                               {SettableField::IsoUpper, 80},
                               {SettableField::IsoLower, 32},
                               {SettableField::IsoAutoAvailable, 1},
                               {SettableField::ExposureCompUpper, 40},
                               {SettableField::ExposureCompLower, 216},
                               {SettableField::FlashMask, 0x121F},
                               {SettableField::FlashCompUpper, 24},
                               {SettableField::FlashCompLower, 232},
                               {SettableField::WhiteBalanceMask, 0x7FF},
                               {SettableField::ColorModeMask, 0xFFE},
                               {SettableField::ColorSpaceMask, 0x03},
                               {SettableField::ColorTempMax, 10000},
                               {SettableField::ColorTempMin, 2500},
                               {SettableField::ColorTempStep, 100},
                               {SettableField::AspectRatioMask, 0x3E},
                               {SettableField::IntervalMax, 3600},
                               {SettableField::IntervalMin, 7},
                               {SettableField::IntervalMaxCount, 99},
                           });
}

void PanelRig::ConnectToVirtualCamera(uint8_t driveMode) {
    vcam::VirtualCamera vc;
    vc.SetDataGroupFieldOnBody(2, 0x01, 0, {driveMode});
    FeedCanSetInfo(3, RealisticCanSetInfo3());
    for (int g = 1; g <= 6; ++g) FeedDataGroup(g, vc.DataGroupRecord(g));
    EnableAll(true);
}

}  // namespace kvx::test
