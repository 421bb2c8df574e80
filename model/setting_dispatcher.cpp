#include "model/setting_dispatcher.h"

#include <algorithm>

#include "model/value_tables.h"
#include "model/window_messages.h"

namespace VARNO {

namespace {

constexpr uint32_t kWmUpdateBase = kWmUser;

// Position of a range end: a code missing from the list puts an upper end on
// the last entry and a lower end on the first, so the range never collapses.
int UpperEnd(int index, int size) {
    return index < 0 ? size - 1 : index;
}
int LowerEnd(int index) {
    return index < 0 ? 0 : index;
}

bool FlashActive(uint8_t state) {
    return state == 1 || state == 2;
}

}  // namespace

CSettingDispatcher::CSettingDispatcher(CCamera& camera, IDispatchHost& host)
    : m_camera(camera), m_host(host) {
    ResetForNewLink();
}

void CSettingDispatcher::ResetForNewLink() {
    m_state = MainSettingsState{};
    const int shutterLast = static_cast<int>(m_camera.ShutterList().size()) - 1;
    m_shutterRange = {0, shutterLast};
    m_apertureRange = {0, static_cast<int>(m_camera.ApertureList().size()) - 1};
    m_isoRange = {0, static_cast<int>(m_camera.IsoList().size()) - 1};
    m_expCompRange = {0, m_camera.ExpCompTop() - m_camera.ExpCompBase()};
    m_flashCompRange = {0, m_camera.FlashCompTop() - m_camera.FlashCompBase()};
    m_bracketLimit = 9;
}

void CSettingDispatcher::SetBracketValues(int8_t amount, uint8_t setting) {
    m_state.bracketAmount = amount;
    m_state.bracketSetting = setting;
    if (auto s = BracketSettingOf(setting)) m_state.bracketShots = s->shotsClass;
}

bool CSettingDispatcher::HandleMessage(uint32_t message) {
    switch (message - kWmUpdateBase) {
        case 101:
            OnUpdateDataGroup(1);
            return true;
        case 102:
            OnUpdateDataGroup(2);
            return true;
        case 103:
            OnUpdateDataGroup(3);
            return true;
        case 109:
            OnUpdateDataGroup(4);
            return true;
        case 115:
            OnUpdateDataGroup(5);
            return true;
        case 116:
            OnUpdateDataGroup(6);
            return true;
        case 107:
            OnUpdateCanSetInfo(1);
            return true;
        case 110:
            OnUpdateCanSetInfo(2);
            return true;
        case 114:
            OnUpdateCanSetInfo(3);
            return true;
        case 120:
            OnUpdateCanSetInfo(4);
            return true;
        default:
            return false;
    }
}

int CSettingDispatcher::OnUpdateDataGroup(int group) {
    if (group < 1 || group > kDataGroupCount) return 0;
    // A message that outlived a link reset finds nothing to merge.
    if (m_camera.ReceivedDataGroup(group, nullptr, 0) == 0) return 0;
    if (group == 4) {
        uint8_t head[3] = {};
        m_dataGroup4Field1 = m_camera.ReceivedDataGroup(4, head, sizeof head) > 1 ? head[1] : 0;
        m_isoDialogPosted = false;
    }
    m_camera.MergeDataGroup(group, this);
    if (group == 4) {
        PostIsoDialog();
        if (!m_camera.DataGroup4Seen()) {
            // The colour mode display depends on the DataGroup4 settings: show it again once.
            m_camera.SetDataGroup4Seen(true);
            if (m_image2) m_image2->ShowColorMode(Byte(3, dg3::kColorMode));
        }
    }
    return 0;
}

void CSettingDispatcher::OnDataGroupField(int group, int index) {
    switch (group) {
        case 1:
            DataGroup1Field(index);
            break;
        case 2:
            DataGroup2Field(index);
            break;
        case 3:
            DataGroup3Field(index);
            break;
        case 4:
            DataGroup4Field(index);
            break;
        case 5:
            DataGroup5Field(index);
            break;
        case 6:
            DataGroup6Field(index);
            break;
        default:
            break;
    }
}

void CSettingDispatcher::IsoAutoIndicator() {
    if (m_main) m_main->ShowIsoAutoIndicator(Byte(1, dg1::kIsoAuto) == 1 ? 1 : 2);
}

void CSettingDispatcher::BracketingIndicator() {
    if (!m_main) return;
    m_main->SetBracketingIndicator(m_state.qmd ? 3 : (m_state.bracketAmount > 0 ? 5 : 0));
}

void CSettingDispatcher::FlashIndicators(bool sync, bool slowSync, bool fp, bool available,
                                         bool comp) {
    if (!m_main) return;
    const uint8_t state = Byte(2, dg2::kFlashState);
    const bool shown = FlashActive(state) && Byte(2, dg2::kFlashStatus) != 0x80;
    const uint16_t mask = m_camera.FlashMaskInUse();
    if (sync)
        m_main->SetIndicator(StatusIndicator::FlashSync, Byte(2, dg2::kSyncMode) == 3 && shown);
    if (slowSync) {
        m_main->SetIndicator(StatusIndicator::SlowSync,
                             (Byte(2, dg2::kFlashFlags) & 0x40) != 0 && shown);
    }
    if (fp) {
        m_main->SetIndicator(StatusIndicator::FpFlash,
                             mask != 0 && (Byte(2, dg2::kFlashFlags) & 0x02) != 0);
    }
    if (available) m_main->SetIndicator(StatusIndicator::FlashAvailable, mask != 0);
    if (comp) {
        m_main->SetIndicator(StatusIndicator::FlashComp,
                             mask != 0 && Byte(2, dg2::kFlashComp) != 0);
    }
}

void CSettingDispatcher::IntervalReadout() {
    if (!m_main) return;
    m_main->ShowIntervalReadout(Byte(2, dg2::kDriveMode) == 7,
                                m_camera.DataGroupU16(5, dg5::kIntervalTimer + 3),
                                Byte(5, dg5::kIntervalTimer + 5), Byte(5, dg5::kIntervalTimer + 2));
}

void CSettingDispatcher::PostIsoDialog() {
    if (m_isoDialogPosted) return;
    m_isoDialogPosted = true;
    if (m_isoDialogOpen) {
        m_host.PostMessage(kTargetIsoSetting, kMsgIsoDataGroup4Changed,
                           m_dataGroup4Field1, 0);
    }
}

void CSettingDispatcher::DataGroup1Field(int index) {
    const auto* f = DataGroupField(1, index);
    const uint8_t v = Byte(1, f->offset);
    switch (index) {
        case 0:  // shutter speed
            if (m_exposure) m_exposure->ShowShutterSpeed(v);
            if (m_main) m_main->UpdateExposureReadout(-1);
            break;
        case 1:
            if (m_exposure) m_exposure->ShowAperture(v);
            break;
        case 2:
            if (m_exposure) m_exposure->ShowProgramShift(static_cast<int8_t>(v));
            break;
        case 3:  // ISO auto
            if (m_exposure) {
                m_exposure->ShowIsoAuto(v);
                m_exposure->ShowIso(Byte(1, dg1::kIso));
            }
            IsoAutoIndicator();
            break;
        case 4:
            if (m_exposure) m_exposure->ShowIso(v);
            IsoAutoIndicator();
            break;
        case 5:
            if (m_main) m_main->UpdateExposureReadout(-1);
            break;
        case 6:  // bracketing amount
            m_state.bracketAmount = static_cast<int8_t>(v);
            if (m_main) {
                m_main->SetBracketAmount(m_state.bracketAmount);
                m_main->UpdateExposureReadout(-1);
            }
            if (m_special) {
                m_special->SetBracketValues(m_state.bracketAmount, m_state.bracketSetting);
                m_special->ShowBracketAmount(m_state.bracketAmount);
            }
            BracketingIndicator();
            if (m_main) m_main->RefreshBracketReadout();
            break;
        case 7:  // bracketing setting
            m_state.bracketSetting = v;
            if (auto s = BracketSettingOf(v)) m_state.bracketShots = s->shotsClass;
            if (m_main) m_main->SetBracketSetting(v, m_state.bracketShots);
            if (m_special) {
                m_special->SetBracketValues(m_state.bracketAmount, m_state.bracketSetting);
                m_special->ShowBracketSetting(v);
            }
            if (m_main) m_main->RefreshBracketReadout();
            break;
        case 8:  // card ready
            if (m_main) m_main->EvaluateCaptureButtons();
            break;
        case 9:  // remaining shots
            if (m_main) {
                m_main->ShowRemainingShots(m_camera.DataGroupU16(1, dg1::kRemainingShots),
                                           Byte(1, dg1::kCardState));
                m_main->EvaluateCaptureButtons();
            }
            break;
        case 10:  // card state
            if (m_main) {
                m_main->EvaluateCaptureButtons();
                m_main->ShowRemainingShots(m_camera.DataGroupU16(1, dg1::kRemainingShots), v);
            }
            break;
        case 12:
            if (m_main) m_main->ShowBattery(static_cast<int8_t>(v));
            break;
        case 13:  // bracketing frame counter
            if (m_main) m_main->UpdateExposureReadout(-1);
            if (m_exposure) m_exposure->UpdateExposureComp(Byte(1, dg1::kExposureLevel), 2);
            IsoAutoIndicator();
            if (m_exposure) m_exposure->ShowIso(Byte(1, dg1::kIso));
            if (m_main) {
                m_main->RefreshBracketReadout();
                m_main->RedrawAeLockButton();
            }
            break;
        case 14:  // displayed exposure level
            if (m_main) m_main->UpdateExposureReadout(v);
            if (m_exposure) m_exposure->UpdateExposureComp(v, 3);
            break;
        default:  // 11 kept, 15 focus state: stored only
            break;
    }
}

void CSettingDispatcher::DataGroup2Field(int index) {
    const auto* f = DataGroupField(2, index);
    const uint8_t v = Byte(2, f->offset);
    switch (index) {
        case 0: {  // drive mode
            m_state.driveMode = v;
            const uint8_t mode = Byte(2, dg2::kExposureMode);
            if (m_cameraPanel) m_cameraPanel->ShowDriveMode(v);
            if (m_main) {
                m_main->SetDriveModeState(v);
                m_main->ShowExposureModeIndicator(mode);
            }
            if (m_exposure) m_exposure->ShowExposureMode(mode);
            IntervalReadout();
            if (m_cameraPanel) {
                m_cameraPanel->ShowIntervalTimer(m_camera.DataGroupU16(5, dg5::kIntervalTimer),
                                                 Byte(5, dg5::kIntervalTimer + 2));
            }
            break;
        }
        case 2:  // exposure mode
            if (m_exposure) m_exposure->ShowExposureMode(v);
            if (m_main) {
                m_main->ShowExposureModeIndicator(v);
                m_main->UpdateExposureReadout(-1);
            }
            break;
        case 3:
            if (m_cameraPanel) m_cameraPanel->ShowMeteringMode(v);
            if (m_main) m_main->ShowMeteringIndicator(v);
            break;
        case 4:  // AE lock
            m_state.aeLock = v != 0;
            if (m_main) m_main->SetAeLock(m_state.aeLock);
            break;
        case 5:
            if (m_cameraPanel) m_cameraPanel->ShowAfMode(v);
            if (m_main) m_main->UpdateAfModeStatus(v);
            break;
        case 7:  // AF lock
            m_state.afLock = v != 0;
            if (m_main) {
                m_main->SetAfLock(m_state.afLock);
                m_main->EvaluateCaptureButtons();
            }
            break;
        case 9:
            if (m_flash) m_flash->ShowSyncMode(v);
            FlashIndicators(true, false, false, false, false);
            break;
        case 10:
            if (m_flash) m_flash->ShowFlashFlags(v);
            FlashIndicators(false, true, true, false, false);
            break;
        case 11:  // flash status
            FlashIndicators(false, false, false, true, false);
            if (m_main) m_main->EvaluateSpecialButtons();
            FlashIndicators(true, true, false, false, false);
            break;
        case 12:
            if (m_flash) m_flash->ShowFlashCompensation(v);
            break;
        case 13:  // white balance
            if (m_image1) m_image1->ShowWhiteBalance(v);
            if (m_main) {
                m_main->OnWhiteBalanceReported(v);
                m_main->EvaluateCustomWbMenu();
            }
            if (m_special) m_special->ShowWhiteBalance(v);
            break;
        case 14:
            if (m_image1) m_image1->ShowImageSize(v);
            break;
        case 15:
            if (m_image1) m_image1->ShowImageQuality(v);
            break;
        default:  // live view, kept byte, flash state: stored only
            break;
    }
}

void CSettingDispatcher::DataGroup3Field(int index) {
    const auto* f = DataGroupField(3, index);
    const uint8_t v = f->width ? Byte(3, f->offset) : 0;
    const bool baseRowShown = m_special && m_special->ShownColorRow() == 0;
    switch (index) {
        case 0:
            if (m_image2) m_image2->ShowContrast(static_cast<int8_t>(v));
            if (baseRowShown) m_special->ShowBaseParameter(ColorParam::Contrast, v);
            break;
        case 1:
            if (m_image2) m_image2->ShowSharpness(static_cast<int8_t>(v));
            if (baseRowShown) m_special->ShowBaseParameter(ColorParam::Sharpness, v);
            break;
        case 2:
            if (m_image2) m_image2->ShowSaturation(static_cast<int8_t>(v));
            if (baseRowShown) m_special->ShowBaseParameter(ColorParam::Saturation, v);
            break;
        case 3:
            if (m_image2) m_image2->ShowColorSpace(v);
            break;
        case 4:
            if (m_image2) m_image2->ShowColorMode(v);
            if (m_special) m_special->ShowColorMode(v);
            break;
        case 7:  // longest focal length: the lens is complete
            if (m_main) {
                m_main->UpdateAfModeStatus(Byte(2, dg2::kAfMode));
                m_main->UpdateCameraLine(m_camera.DataGroupU16(3, dg3::kFocalShortest),
                                         m_camera.DataGroupU16(3, dg3::kFocalLongest));
            }
            break;
        case 8:
            if (m_setup) m_setup->ShowAfAssist(v);
            break;
        case 9:
            if (m_setup) m_setup->ShowAfVolume(v);
            break;
        case 10:
            if (m_main) m_main->EvaluateCaptureButtons();
            break;
        case 11:
            if (m_setup) m_setup->ShowExtendedMode(v);
            break;
        case 12:
            if (m_setup) m_setup->ShowAutoRotate(v);
            break;
        case 13:
            if (m_setup) m_setup->ShowTimerSound(v);
            break;
        case 15:  // capture destination flagged: it must be sent again
            m_host.ClearDestinationSent();
            break;
        default:  // kept bytes, shortest focal length: stored only
            break;
    }
}

void CSettingDispatcher::ApplyIsoRange(int version) {
    const int size = static_cast<int>(m_camera.IsoList().size());
    m_isoRange = {0, size - 1};
    if (version > 0) {
        if (auto up = m_camera.SettableOf(version, SettableField::IsoUpper)) {
            m_isoRange.upper = UpperEnd(m_camera.IsoIndex(*up), size);
        }
        if (auto low = m_camera.SettableOf(version, SettableField::IsoLower)) {
            m_isoRange.lower = LowerEnd(m_camera.IsoIndex(*low));
        }
    }
    if (m_exposure) m_exposure->SetIsoRange(m_isoRange.lower, m_isoRange.upper);
}

void CSettingDispatcher::DataGroup4Field(int index) {
    const auto* f = DataGroupField(4, index);
    const uint8_t v = Byte(4, f->offset);
    // The ISO function dialog hears of the update after the ISO limits and
    // before the special modes.
    if (index >= 3) PostIsoDialog();
    switch (index) {
        case 0:  // ISO step
            m_camera.RebuildIsoList(v);
            if (m_exposure) {
                m_exposure->ResetIsoSlider();
                m_exposure->ShowIso(Byte(1, dg1::kIso));
            }
            ApplyIsoRange(m_camera.VersionInForce());
            break;
        case 3: {  // QMD mode
            m_state.qmd = v == 1;
            if (m_main) m_main->SetQmdMode(m_state.qmd);
            if (m_special) m_special->ShowQmdMode(v);
            if (m_exposure) m_exposure->ApplyQmdMode(m_state.qmd);
            if (m_cameraPanel) m_cameraPanel->ApplyQmdMode(m_state.qmd);
            if (m_image1) m_image1->ApplyQmdMode(m_state.qmd);
            if (m_image2) m_image2->ApplyQmdMode(m_state.qmd);
            if (m_flash) m_flash->ApplyQmdMode(m_state.qmd);
            if (m_main) m_main->UpdateIsoFunctionMenu();
            BracketingIndicator();
            break;
        }
        case 4:
            m_state.dcCrop = v;
            if (m_main) m_main->SetDcCrop(v);
            if (m_image1) m_image1->ShowDcCrop(v);
            break;
        case 5:  // live view magnification
            if (m_main) m_main->EvaluateCaptureButtons();
            if (m_liveView) m_liveView->ShowMagnification(v);
            break;
        default:  // ISO auto limits: read by the ISO function dialog
            break;
    }
}

void CSettingDispatcher::DataGroup5Field(int index) {
    const auto* f = DataGroupField(5, index);
    const uint8_t* at = m_camera.DataGroup(5) + f->offset;
    const uint8_t v = at[0];
    switch (index) {
        case 0:  // interval timer (merged only when the interval is at least 7 s)
            IntervalReadout();
            if (m_cameraPanel) {
                m_cameraPanel->ShowIntervalTimer(m_camera.DataGroupU16(5, dg5::kIntervalTimer),
                                                 at[2]);
            }
            break;
        case 1:
            if (m_image1) m_image1->ShowColorTemperature(m_camera.DataGroupU16(5, f->offset));
            break;
        case 2:
            if (m_grid)
                m_grid->SetAdjustValue(static_cast<int8_t>(at[0]), static_cast<int8_t>(at[1]));
            if (m_special) {
                m_special->ShowAdjustValue(static_cast<int8_t>(at[0]), static_cast<int8_t>(at[1]));
            }
            break;
        case 3:
            if (m_image1) m_image1->ShowAspectRatio(v);
            m_host.SetLiveViewAspectIndex(v);
            break;
        case 4:
            if (m_image2) m_image2->ShowFilterEffect(v);
            if (m_special && m_special->ShownColorRow() == 0) {
                m_special->ShowBaseParameter(ColorParam::FilterEffect, v);
            }
            break;
        case 5:
            if (m_image2) m_image2->ShowToningEffect(v);
            if (m_special && m_special->ShownColorRow() == 0) {
                m_special->ShowBaseParameter(ColorParam::ToningEffect, v);
            }
            break;
        case 6:
            if (m_image2) m_image2->ShowToneControl(v);
            break;
        case 8:
            if (m_liveView) m_liveView->ShowPeakingLevel(v);
            break;
        case 9:
        case 13:  // face detection AF / face detection state
            if (m_cameraPanel) {
                m_cameraPanel->ShowFaceDetection(Byte(5, dg5::kFaceDetection),
                                                 Byte(5, dg5::kFaceState));
            }
            break;
        case 11:
            if (m_cameraPanel) m_cameraPanel->ShowFocusFrame(at);
            if (m_liveView) m_liveView->ShowFocusFrame(at);
            break;
        case 12:
            if (m_main) m_main->ShowAdditionalBatteries(at[0], at[1]);
            break;
        case 14:
            if (m_main) m_main->SetIndicator(StatusIndicator::StatusLamp, at[0] == 2 && at[2] != 2);
            break;
        case 15:
            FlashIndicators(false, false, false, false, true);
            if (m_flash) m_flash->ShowFlashAfAssist(v);
            break;
        default:  // kept bytes: stored only
            break;
    }
}

void CSettingDispatcher::DataGroup6Field(int index) {
    // Only the special capture settings dialog shows these; the record keeps
    // them for when it opens.
    if (!m_special) return;
    const auto* f = DataGroupField(6, index);
    const uint8_t* at = m_camera.DataGroup(6) + f->offset;
    switch (index) {
        case 0:
            m_special->ShowWbBracketActive(at[0]);
            m_special->ShowColorBracketActive(at[0]);
            if (m_main) m_main->SetSpecialBracketIndicator(at[0]);
            return;
        case 1:
            m_special->ShowWbBracketCount(at[0]);
            return;
        case 2:
            m_special->ShowWbBracketAmount(at[0]);
            return;
        case 3:
            m_special->ShowWbBracketAxis(at[0]);
            return;
        default:
            break;
    }
    // Indices 4..13 alternate: colour mode of frame k, then its parameters.
    const int row = (index - 4) / 2 + 1;
    if (row < 1 || row > 5) return;
    if ((index - 4) % 2 == 0) {
        m_special->ShowRowColorMode(row, at[0]);
    } else if (m_special->ShownColorRow() == row) {
        m_special->ShowRowParameters(row, at);
    }
}

int CSettingDispatcher::OnUpdateCanSetInfo(int version) {
    if (version < 1 || version > kCanSetInfoVersionCount) return 0;
    if (m_camera.ReceivedCanSetInfo(version, nullptr, 0) == 0) return 0;
    // An older generation's record no longer drives the panels once a newer one has arrived.
    const bool panelsSkipped =
        version == 1 && (m_camera.CanSetInfoReceived(2) || m_camera.CanSetInfoReceived(3) ||
                         m_camera.CanSetInfoReceived(4));
    // Store first, so that everything the dispatch reads sees the new record.
    const auto changes = m_camera.MergeCanSetInfo(version);
    if (version == 4) m_host.SetExtendedCamera();
    for (const auto& change : changes) {
        if (panelsSkipped && change.field != SettableField::IsoAutoAvailable) continue;
        SettableChanged(version, change);
    }
    if (version >= 3) m_host.PostStatusRefresh();
    return 0;
}

void CSettingDispatcher::SettableChanged(int version, const CCamera::SettableChange& change) {
    const uint32_t v = change.newValue;
    const int shutterSize = static_cast<int>(m_camera.ShutterList().size());
    const int apertureSize = static_cast<int>(m_camera.ApertureList().size());
    const int isoSize = static_cast<int>(m_camera.IsoList().size());
    const int expSize = static_cast<int>(m_camera.ExpList().size());
    switch (change.field) {
        case SettableField::DriveModeMask:
            if (m_cameraPanel) m_cameraPanel->FillDriveModeList(v);
            break;
        case SettableField::ExposureModeMask:
            if (m_exposure) m_exposure->FillExposureModeList(v);
            break;
        case SettableField::MeteringMask:
            if (m_cameraPanel) m_cameraPanel->FillMeteringList(v);
            break;
        case SettableField::AfModeMask:
            if (m_cameraPanel) m_cameraPanel->FillAfModeList(v);
            break;
        case SettableField::ImageSizeMask:
            if (m_image1) m_image1->FillImageSizeList(v);
            break;
        case SettableField::ImageQualityMask:
            if (m_image1) m_image1->FillImageQualityList(v);
            break;
        case SettableField::WhiteBalanceMask:
            if (m_image1) m_image1->FillWhiteBalanceList(v);
            break;
        case SettableField::ColorModeMask:
            if (m_image2) m_image2->FillColorModeList(v);
            break;
        case SettableField::ColorSpaceMask:
            if (m_image2) m_image2->FillColorSpaceList(v);
            break;
        case SettableField::AspectRatioMask:
            if (m_image1) m_image1->FillAspectRatioList(v);
            break;
        case SettableField::DcCropMask:
            if (m_image1) m_image1->FillDcCropList(v);
            break;
        case SettableField::FlashMask:
            if (m_flash) m_flash->FillFlashLists(v);
            if (version >= 3) {
                FlashIndicators(false, false, true, true, true);
                if (m_main) m_main->EvaluateSpecialButtons();
            }
            break;
        case SettableField::ProgramShift:
            if (m_exposure) m_exposure->EnableProgramShift(static_cast<uint8_t>(v));
            break;
        case SettableField::IsoAutoAvailable:
            if (m_exposure) m_exposure->SetIsoAutoAvailable(v != 0);
            break;
        case SettableField::ExposureFlags: {
            const int sync = m_camera.ShutterSyncIndex();
            const int beforeSync = sync < 0 ? shutterSize - 1 : sync - 1;
            const int lowest = (v & 0x01) ? 0 : 1;
            const int highest = beforeSync + ((v & 0x10) && sync >= 0 ? 1 : 0);
            if (m_exposure) m_exposure->SetShutterLimits(lowest, highest);
            break;
        }
        case SettableField::ShutterUpper: {
            const uint8_t code = version == 1 ? CanSetInfoShutterUpperCode(static_cast<uint8_t>(v))
                                              : static_cast<uint8_t>(v);
            m_shutterRange.upper = UpperEnd(m_camera.ShutterIndex(code), shutterSize);
            if (m_exposure) m_exposure->SetShutterRange(m_shutterRange.lower, m_shutterRange.upper);
            break;
        }
        case SettableField::ShutterLower:
            m_shutterRange.lower = LowerEnd(m_camera.ShutterIndex(v));
            if (m_exposure) m_exposure->SetShutterRange(m_shutterRange.lower, m_shutterRange.upper);
            break;
        case SettableField::ApertureUpper:
            m_apertureRange.upper = UpperEnd(m_camera.ApertureIndex(v), apertureSize);
            if (m_exposure) {
                m_exposure->SetApertureRange(m_apertureRange.lower, m_apertureRange.upper);
            }
            break;
        case SettableField::ApertureLower:
            m_apertureRange.lower = LowerEnd(m_camera.ApertureIndex(v));
            if (m_exposure) {
                m_exposure->SetApertureRange(m_apertureRange.lower, m_apertureRange.upper);
            }
            break;
        case SettableField::IsoUpper:
            m_isoRange.upper = UpperEnd(m_camera.IsoIndex(v), isoSize);
            if (m_exposure) m_exposure->SetIsoRange(m_isoRange.lower, m_isoRange.upper);
            break;
        case SettableField::IsoLower:
            m_isoRange.lower = LowerEnd(m_camera.IsoIndex(v));
            if (m_exposure) m_exposure->SetIsoRange(m_isoRange.lower, m_isoRange.upper);
            break;
        case SettableField::ExposureCompUpper:
        case SettableField::ExposureCompLower: {
            const int base = m_camera.ExpCompBase();
            const int span = m_camera.ExpCompTop() - base;
            const int index = m_camera.ExpIndex(v);
            if (change.field == SettableField::ExposureCompUpper) {
                m_expCompRange.upper = std::clamp(UpperEnd(index, expSize) - base, 0, span);
            } else {
                m_expCompRange.lower = std::clamp(LowerEnd(index) - base, 0, span);
            }
            if (m_exposure) {
                m_exposure->SetExposureCompRange(m_expCompRange.lower, m_expCompRange.upper);
            }
            break;
        }
        case SettableField::FlashCompUpper:
        case SettableField::FlashCompLower: {
            const int base = m_camera.FlashCompBase();
            const int span = m_camera.FlashCompTop() - base;
            const int index = m_camera.ExpIndex(v);
            if (change.field == SettableField::FlashCompUpper) {
                m_flashCompRange.upper = std::clamp(UpperEnd(index, expSize) - base, 0, span);
            } else {
                m_flashCompRange.lower = std::clamp(LowerEnd(index) - base, 0, span);
            }
            if (m_flash) {
                m_flash->SetFlashCompensationLimits(m_flashCompRange.lower, m_flashCompRange.upper);
            }
            break;
        }
        case SettableField::BracketMask:
            if (m_special) m_special->FillBracketLists(v);
            break;
        case SettableField::BracketLargest: {
            const int zero = std::max(m_camera.ExpIndexZero(), 0);
            m_bracketLimit = std::clamp(UpperEnd(m_camera.ExpIndex(v), expSize) - zero, 0, 9);
            if (m_main) m_main->SetBracketAmountLimit(m_bracketLimit);
            break;
        }
        case SettableField::WbBracketMask:
            if (m_special) {
                m_special->SetWbBracketAvailable((v & 0x1F) != 0 && !m_state.qmd);
                m_special->ShowWbBracketActive(Byte(6, dg6::kBracketKind));
            }
            break;
        case SettableField::ColorBracketMask:
            if (m_special) {
                m_special->SetColorBracketAvailable((v & 0x1F) != 0 && !m_state.qmd);
                m_special->ShowColorBracketActive(Byte(6, dg6::kBracketKind));
            }
            break;
        case SettableField::PeakingMask:
            if (m_liveView) {
                m_host.PostMessage(kTargetLiveView, kMsgLiveViewMask,
                                   kLiveViewPeakingMask, static_cast<intptr_t>(v));
            }
            break;
        case SettableField::MagnificationMask:
            if (m_liveView) {
                m_host.PostMessage(kTargetLiveView, kMsgLiveViewMask,
                                   kLiveViewMagnificationMask, static_cast<intptr_t>(v));
            }
            break;
        default:  // read on demand by the windows that use them
            break;
    }
}

}  // namespace VARNO
